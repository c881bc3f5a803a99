#include "tool/system/interrupt_signal.h"

#include <signal.h>
#include <unistd.h>

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

void quitBy(StopSignal stop) {
    const int signal = signalOf(stop);
    std::signal(signal, SIG_DFL);
    ::raise(signal);  // delivered when the signal handler returns
}

}  // namespace pelmora::tool::system
