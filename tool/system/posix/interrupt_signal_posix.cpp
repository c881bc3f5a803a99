#include "tool/system/interrupt_signal.h"

#include <signal.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

namespace pelmora::tool::system {
namespace {

InterruptHandler g_handler = nullptr;
struct sigaction g_previous {};

extern "C" void onSignal(int) {
    if (g_handler) g_handler();
}

// The mask before the outermost hold of this thread.
thread_local int t_holds = 0;
thread_local sigset_t t_beforeHolds{};

}  // namespace

void installInterruptHandler(InterruptHandler handler) {
    g_handler = handler;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &g_previous);
}

void restoreInterruptHandler() { sigaction(SIGINT, &g_previous, nullptr); }

void simulateInterrupt() { std::raise(SIGINT); }

InterruptHold::InterruptHold() {
    if (t_holds++ > 0) return;
    sigset_t block;
    sigemptyset(&block);
    sigaddset(&block, SIGINT);
    pthread_sigmask(SIG_BLOCK, &block, &t_beforeHolds);
}

InterruptHold::~InterruptHold() {
    if (--t_holds == 0) pthread_sigmask(SIG_SETMASK, &t_beforeHolds, nullptr);
}

std::thread threadWithoutInterrupts(std::function<void()> body) {
    sigset_t block, previous;
    sigemptyset(&block);
    sigaddset(&block, SIGINT);
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

void quitAsInterrupted() {
    std::signal(SIGINT, SIG_DFL);
    ::raise(SIGINT);  // delivered when the signal handler returns
}

}  // namespace pelmora::tool::system
