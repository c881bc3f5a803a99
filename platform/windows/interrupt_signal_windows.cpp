// Ctrl+C on Windows comes to a handler the console calls in a thread of its
// own while the program goes on. The handler runs under a lock that a hold
// takes too, so that a press during a hold waits for its end as a blocked
// signal does on POSIX systems.
#include "platform/interrupt_signal.h"

#include <windows.h>

#include <cstring>

#include "platform/windows/wide_text.h"

namespace pelmora::tool::system {
namespace {

// The exit status of a process that Ctrl+C ended.
constexpr UINT kEndedByControlC = 0xC000013AU;

volatile InterruptHandler g_handler = nullptr;

CRITICAL_SECTION& holdLock() {
    static struct Lock {
        CRITICAL_SECTION section;
        Lock() { InitializeCriticalSection(&section); }
    } lock;
    return lock.section;
}

thread_local int t_holds = 0;
thread_local int t_pending = 0;  // simulated presses that came during a hold

void dispatch(StopSignal stop) {
    EnterCriticalSection(&holdLock());
    if (InterruptHandler handler = g_handler) handler(stop);
    LeaveCriticalSection(&holdLock());
}

// The console window closed is the terminal gone; a logoff or a shutdown is a
// request to end. The system ends the process itself soon after these return.
BOOL WINAPI onConsoleControl(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            dispatch(StopSignal::Interrupt);
            return TRUE;
        case CTRL_CLOSE_EVENT:
            dispatch(StopSignal::HangUp);
            return TRUE;
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            dispatch(StopSignal::Terminate);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void installInterruptHandler(InterruptHandler handler) {
    holdLock();
    g_handler = handler;
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

void restoreInterruptHandler() {
    SetConsoleCtrlHandler(onConsoleControl, FALSE);
    EnterCriticalSection(&holdLock());
    g_handler = nullptr;
    LeaveCriticalSection(&holdLock());
}

void simulateInterrupt() {
    if (t_holds > 0) {
        ++t_pending;
        return;
    }
    dispatch(StopSignal::Interrupt);
}

InterruptHold::InterruptHold() {
    EnterCriticalSection(&holdLock());
    ++t_holds;
}

InterruptHold::~InterruptHold() {
    --t_holds;
    LeaveCriticalSection(&holdLock());
    while (t_holds == 0 && t_pending > 0) {
        --t_pending;
        dispatch(StopSignal::Interrupt);
    }
}

// The console calls the handler in a thread of its own: no thread need be spared.
std::thread threadWithoutInterrupts(std::function<void()> body) { return std::thread(std::move(body)); }

void writeToStderr(const char* text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
}

void removeFileNow(const char* path) {
    // On the stack: the handler may not allocate.
    wchar_t wide[4097];
    if (wideTextInto(path, wide, static_cast<int>(sizeof wide / sizeof *wide)) > 0) DeleteFileW(wide);
}

void removeFolderNow(const char* path) {
    // On the stack: the handler may not allocate.
    wchar_t wide[4097], entry[4097 + MAX_PATH];
    const int length = wideTextInto(path, wide, 4096);
    if (length <= 0) return;
    wchar_t pattern[4100];
    std::memcpy(pattern, wide, sizeof(wchar_t) * (length - 1));
    std::memcpy(pattern + length - 1, L"\\*", sizeof(wchar_t) * 3);
    WIN32_FIND_DATAW found;
    const HANDLE listing = FindFirstFileW(pattern, &found);
    if (listing != INVALID_HANDLE_VALUE) {
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            const std::size_t nameLength = wcslen(found.cFileName);
            std::memcpy(entry, wide, sizeof(wchar_t) * (length - 1));
            entry[length - 1] = L'\\';
            std::memcpy(entry + length, found.cFileName, sizeof(wchar_t) * (nameLength + 1));
            DeleteFileW(entry);
        } while (FindNextFileW(listing, &found));
        FindClose(listing);
    }
    RemoveDirectoryW(wide);
}

// At once, as the console's own handling does: no cleanup of this process
// may run while the main thread is in the middle of its work.
void quitBy(StopSignal) { TerminateProcess(GetCurrentProcess(), kEndedByControlC); }

}  // namespace pelmora::tool::system
