// The batch's export processes on Windows: pelmora.exe started again with
// CreateProcessW. They share the batch's console, so a Ctrl+C reaches each of
// them from the console itself; the batch counts the presses and ends at
// once at the second, as the children do.
#include "platform/child_processes.h"

#include <windows.h>

#include <cstdio>

#include "platform/interrupt_signal.h"
#include "platform/windows/wide_text.h"

namespace pelmora::tool::system {
namespace {

constexpr DWORD kEndedByControlC = 0xC000013AU;

volatile LONG g_interrupts = 0;
HANDLE g_children[ChildProcesses::kMaxSlots] = {};

BOOL WINAPI onBatchControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    if (InterlockedIncrement(&g_interrupts) >= 2) quitAsInterrupted();
    return TRUE;
}

// One argument as CommandLineToArgvW reads it back: quoted when it holds a
// space, a tab or a quote, with the backslashes before a quote doubled.
void appendQuoted(std::wstring& line, const std::wstring& argument) {
    if (!line.empty()) line += L' ';
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
        line += argument;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') line.append(backslashes * 2 + 1, L'\\');
        else line.append(backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

HANDLE openInherited(const std::string& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileW(wideText(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

ChildProcesses::ChildProcesses() {
    g_interrupts = 0;
    for (auto& child : g_children) child = nullptr;
    SetConsoleCtrlHandler(onBatchControl, TRUE);
}

ChildProcesses::~ChildProcesses() {
    SetConsoleCtrlHandler(onBatchControl, FALSE);
    for (auto& child : g_children) {
        if (child) CloseHandle(child);
        child = nullptr;
    }
}

int ChildProcesses::interrupts() const { return static_cast<int>(g_interrupts); }

bool ChildProcesses::start(int slot, const std::vector<std::string>& arguments, const std::string& outFile,
                           const std::string& errFile, std::string& error) {
    std::wstring programPath(MAX_PATH, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, programPath.data(), static_cast<DWORD>(programPath.size()));
    if (length == 0 || length >= programPath.size()) {
        error = "cannot start the export process: the program's own path is unknown";
        return false;
    }
    programPath.resize(length);
    std::wstring line;
    appendQuoted(line, programPath);
    for (const std::string& argument : arguments) appendQuoted(line, wideText(argument));

    HANDLE input = openInherited("NUL", GENERIC_READ, OPEN_EXISTING);
    HANDLE output = openInherited(outFile, GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE errors = openInherited(errFile, GENERIC_WRITE, CREATE_ALWAYS);
    auto closeAll = [&] {
        for (HANDLE handle : {input, output, errors})
            if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    };
    if (input == INVALID_HANDLE_VALUE || output == INVALID_HANDLE_VALUE || errors == INVALID_HANDLE_VALUE) {
        error = "cannot start the export process: " + errorText(GetLastError());
        closeAll();
        return false;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = errors;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(programPath.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                        &startup, &process);
    const DWORD failure = started ? 0 : GetLastError();
    closeAll();
    if (!started) {
        error = "cannot start the export process: " + errorText(failure);
        return false;
    }
    CloseHandle(process.hThread);
    g_children[slot] = process.hProcess;
    return true;
}

std::optional<ChildProcesses::Ended> ChildProcesses::waitForOne() {
    HANDLE running[kMaxSlots];
    int slots[kMaxSlots];
    DWORD count = 0;
    for (int slot = 0; slot < kMaxSlots; ++slot) {
        if (!g_children[slot]) continue;
        running[count] = g_children[slot];
        slots[count++] = slot;
    }
    if (count == 0) return std::nullopt;
    const DWORD which = WaitForMultipleObjects(count, running, FALSE, INFINITE);
    if (which >= WAIT_OBJECT_0 + count) return std::nullopt;
    const int slot = slots[which - WAIT_OBJECT_0];
    DWORD code = 1;
    GetExitCodeProcess(g_children[slot], &code);
    CloseHandle(g_children[slot]);
    g_children[slot] = nullptr;
    Ended result;
    result.slot = slot;
    if (code == kEndedByControlC) {
        result.byInterrupt = true;
        result.how = "the export process was ended by Ctrl+C";
    } else if (code >= 0xC0000000U) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%08lX", static_cast<unsigned long>(code));
        result.how = std::string("the export process ended with status 0x") + hex;
    } else {
        result.exited = true;
        result.exitStatus = static_cast<int>(code);
    }
    return result;
}

}  // namespace pelmora::tool::system
