#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "platform/helper_process.h"
#include "platform/posix/write_all.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PELMORA_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define PELMORA_ADDRESS_SANITIZER 1
#endif

namespace pelmora::tool::system {
namespace {

// The helper's first steps: its life tied to the parent's, Ctrl+C left to the
// parent (which stops the helper itself), its memory bounded.
void becomeHelper(pid_t parent, long addressSpaceMiB) {
#if defined(__linux__)
    prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
    // The parent died before the tie was made: nothing would end this copy.
    if (getppid() != parent) _exit(1);
    signal(SIGINT, SIG_IGN);
#if !defined(PELMORA_ADDRESS_SANITIZER)
    if (addressSpaceMiB > 0) {
        const auto bytes = static_cast<rlim_t>(addressSpaceMiB) << 20;
        const rlimit memory{bytes, bytes};
        setrlimit(RLIMIT_AS, &memory);
    }
#else
    (void)addressSpaceMiB;
#endif
}

}  // namespace

bool HelperReport::write(const char* data, std::size_t size) const {
    return writeAll(static_cast<int>(handle_), data, size);
}

void HelperReport::end(int status) const { _exit(status); }

bool HelperEnd::likelyOutOfMemory() const {
    return !exited && (signal == SIGKILL || signal == SIGSEGV || signal == SIGABRT || signal == SIGBUS);
}

HelperProcess::~HelperProcess() {
    if (process_ >= 0) finish(true);
    if (report_ >= 0) ::close(static_cast<int>(report_));
}

bool HelperProcess::start(const std::function<int(const HelperReport&)>& job, long addressSpaceMiB,
                          std::string& error) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        return false;
    }
    // Buffered output would otherwise be written twice, once by each copy.
    std::fflush(nullptr);
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        becomeHelper(parent, addressSpaceMiB);
        const HelperReport report(pipeFds[1]);
        int status = 1;
        try {
            status = job(report);
        } catch (...) {}
        report.end(status);
    }
    const int forkError = errno;
    ::close(pipeFds[1]);
    if (child < 0) {
        ::close(pipeFds[0]);
        error = std::strerror(forkError);
        return false;
    }
    process_ = child;
    report_ = pipeFds[0];
    return true;
}

HelperProcess::Report HelperProcess::readReport(int milliseconds, std::string& out) {
    pollfd watch{static_cast<int>(report_), POLLIN, 0};
    const int ready = poll(&watch, 1, milliseconds);
    if (ready < 0) return errno == EINTR ? Report::Quiet : Report::Failed;
    if (ready == 0) return Report::Quiet;
    char buffer[65536];
    const ssize_t n = ::read(static_cast<int>(report_), buffer, sizeof buffer);
    if (n == 0) return Report::Closed;
    if (n < 0) return errno == EINTR || errno == EAGAIN ? Report::Quiet : Report::Failed;
    out.append(buffer, static_cast<std::size_t>(n));
    return Report::Data;
}

std::string HelperProcess::readReportToEnd() {
    std::string text;
    for (;;) {
        const Report got = readReport(-1, text);
        if (got == Report::Closed || got == Report::Failed) return text;
    }
}

long HelperProcess::residentMiB() const {
    char name[64];
    std::snprintf(name, sizeof name, "/proc/%ld/statm", static_cast<long>(process_));
    std::FILE* file = std::fopen(name, "r");
    if (!file) return -1;
    long pages = 0, resident = 0;
    const int got = std::fscanf(file, "%ld %ld", &pages, &resident);
    std::fclose(file);
    if (got != 2) return -1;
    return resident * (sysconf(_SC_PAGESIZE) / 1024) / 1024;
}

HelperEnd HelperProcess::finish(bool kill) {
    HelperEnd end;
    if (process_ < 0) return end;
    const auto pid = static_cast<pid_t>(process_);
    if (kill) end.killedByUs = ::kill(pid, SIGKILL) == 0;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    process_ = -1;
    end.exited = WIFEXITED(status);
    end.exitStatus = end.exited ? WEXITSTATUS(status) : 0;
    if (WIFSIGNALED(status)) {
        end.signal = WTERMSIG(status);
        end.how = strsignal(end.signal);
    }
    return end;
}

}  // namespace pelmora::tool::system
