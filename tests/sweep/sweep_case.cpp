#include "tests/sweep/sweep_case.h"

#include <dlfcn.h>
#include <execinfo.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

namespace pelmora::sweep {
namespace {

int g_reportFd = -1;

// Exit codes of the child; LeakSanitizer's own is 23.
constexpr int kExitReported = 0;
constexpr int kExitInLoader = 40;
constexpr int kExitLeak = 23;

bool inDrawingLoader(void* const* frames, int count) {
    for (int i = 0; i < count; ++i) {
        Dl_info info{};
        if (dladdr(frames[i], &info) == 0 || info.dli_sname == nullptr) continue;
        if (std::strstr(info.dli_sname, "parseDrawing") != nullptr ||
            std::strstr(info.dli_sname, "loadDrawing") != nullptr)
            return true;
    }
    return false;
}

extern "C" void onFatalSignal(int signal) {
    void* frames[64];
    const int count = backtrace(frames, 64);
    if (signal == SIGABRT && inDrawingLoader(frames, count)) _exit(kExitInLoader);
    const char* name = strsignal(signal);
    (void)!write(g_reportFd, "signal ", 7);
    (void)!write(g_reportFd, name, std::strlen(name));
    (void)!write(g_reportFd, "\n", 1);
    backtrace_symbols_fd(frames, count, g_reportFd);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

}  // namespace

const char* outcomeName(Outcome outcome) {
    switch (outcome) {
        case Outcome::Completed:
            return "completed";
        case Outcome::CleanFailure:
            return "clean failure";
        case Outcome::Bad:
            return "bad outcome";
        case Outcome::Crashed:
            return "crash";
        case Outcome::Leaked:
            return "leak";
        case Outcome::ScopedOut:
            return "abort in the drawing loader";
    }
    return "?";
}

CaseResult runCase(const std::function<CaseVerdict()>& body) {
    int fds[2];
    CaseResult result;
    if (pipe(fds) != 0) {
        result.detail = "no pipe";
        return result;
    }
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        g_reportFd = fds[1];
        // Loads the unwinder before any fault is armed, so that the handler needs no memory.
        void* warm[1];
        backtrace(warm, 1);
        for (int signal : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL}) std::signal(signal, onFatalSignal);
        // Whatever happens, the child never returns into the test program.
        CaseVerdict verdict;
        try {
            verdict = body();
        } catch (const std::exception& error) {
            verdict.outcome = Outcome::Bad;
            verdict.detail = std::string("the sweep itself failed: ") + error.what();
        }
        const char head[3] = {static_cast<char>('0' + static_cast<int>(verdict.outcome)),
                              verdict.faultFired ? '1' : '0', '\n'};
        (void)!write(fds[1], head, sizeof head);
        (void)!write(fds[1], verdict.detail.data(), verdict.detail.size());
        close(fds[1]);
        std::exit(kExitReported);
    }
    close(fds[1]);
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    result.faultFired = true;
    if (WIFSIGNALED(status)) {
        result.outcome = Outcome::Crashed;
        result.detail = text;
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == kExitInLoader) {
        result.outcome = Outcome::ScopedOut;
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == kExitLeak) {
        result.outcome = Outcome::Leaked;
        result.detail = text.size() > 3 ? text.substr(3) : std::string();
    } else if (text.size() >= 3 && WIFEXITED(status) && WEXITSTATUS(status) == kExitReported) {
        result.outcome = static_cast<Outcome>(text[0] - '0');
        result.faultFired = text[1] == '1';
        result.detail = text.substr(3);
    } else {
        result.outcome = Outcome::Crashed;
        result.detail = "exit status " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + " " + text;
    }
    return result;
}

}  // namespace pelmora::sweep
