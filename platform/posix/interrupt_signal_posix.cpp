#include "platform/interrupt_signal.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/syscall.h>
#endif

#include <csignal>
#include <cstring>

namespace pelmora::tool::system {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalCount = 3;

InterruptHandler g_handler = nullptr;
struct sigaction g_previous[kSignalCount] {};

int signalOf(StopSignal stop) {
    return stop == StopSignal::Terminate ? SIGTERM : stop == StopSignal::HangUp ? SIGHUP : SIGINT;
}

extern "C" void onSignal(int signal) {
    const StopSignal stop = signal == SIGTERM  ? StopSignal::Terminate
                            : signal == SIGHUP ? StopSignal::HangUp
                                               : StopSignal::Interrupt;
    if (g_handler) g_handler(stop);
}

sigset_t stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kSignals) sigaddset(&set, signal);
    return set;
}

// The mask before the outermost hold of this thread.
thread_local int t_holds = 0;
thread_local sigset_t t_beforeHolds{};

}  // namespace

void installInterruptHandler(InterruptHandler handler) {
    g_handler = handler;
    struct sigaction action {};
    action.sa_handler = onSignal;
    action.sa_mask = stopSignals();  // one handler at a time
    for (int i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &action, &g_previous[i]);
}

void restoreInterruptHandler() {
    for (int i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &g_previous[i], nullptr);
}

void simulateInterrupt() { std::raise(SIGINT); }

InterruptHold::InterruptHold() {
    if (t_holds++ > 0) return;
    const sigset_t block = stopSignals();
    pthread_sigmask(SIG_BLOCK, &block, &t_beforeHolds);
}

InterruptHold::~InterruptHold() {
    if (--t_holds == 0) pthread_sigmask(SIG_SETMASK, &t_beforeHolds, nullptr);
}

std::thread threadWithoutInterrupts(std::function<void()> body) {
    const sigset_t block = stopSignals();
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &block, &previous);
    std::thread thread(std::move(body));
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return thread;
}

void writeToStderr(const char* text) {
    ssize_t ignored = ::write(STDERR_FILENO, text, std::strlen(text));
    (void)ignored;
}

void removeFileNow(const char* path) { ::unlink(path); }

#if defined(__linux__)
// Removes the entries of the open folder, read straight from the kernel into
// `buffer`: readdir may allocate, which a signal handler must not.
void removeEntries(int folder, char* buffer, unsigned size) {
    for (long got; (got = ::syscall(SYS_getdents64, folder, buffer, size)) > 0;) {
        for (long at = 0; at < got;) {
            // struct linux_dirent64: inode (8), offset (8), length (2), type (1), name.
            unsigned short length = 0;
            std::memcpy(&length, buffer + at + 16, sizeof length);
            const char* name = buffer + at + 19;
            if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) ::unlinkat(folder, name, 0);
            at += length;
        }
    }
}
#endif

void removeFolderNow(const char* path) {
#if defined(__linux__)
    const int folder = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {  // not listed: an empty folder still goes
        alignas(8) char buffer[8192];
        // A second pass from the start catches what removing entries moved past.
        for (int pass = 0; pass < 2 && ::lseek(folder, 0, SEEK_SET) == 0; ++pass)
            removeEntries(folder, buffer, sizeof buffer);
        ::close(folder);
    }
#endif
    ::rmdir(path);
}

void quitBy(StopSignal stop) {
    const int signal = signalOf(stop);
    std::signal(signal, SIG_DFL);
    ::raise(signal);  // delivered when the signal handler returns
}

}  // namespace pelmora::tool::system
