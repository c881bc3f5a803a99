// A helper process: a copy of this process (forked) that runs one job apart,
// so that a job which crashes, aborts or runs away with memory ends the copy
// and not this process. The helper dies with this process however it ends,
// leaves Ctrl+C to it, may have its address space bounded, and reports
// through a pipe this process reads with a timeout. Forking needs a POSIX
// system: on Windows no helper starts (start() says so).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace pelmora::tool::system {

// The helper's side of its report pipe.
class HelperReport {
public:
    explicit HelperReport(std::intptr_t handle) : handle_(handle) {}
    // Writes all of it; false when the pipe is gone.
    bool write(const char* data, std::size_t size) const;
    // Ends the helper at once with this exit status: no destructors, no
    // flushing of buffers copied from the parent.
    [[noreturn]] void end(int status) const;

private:
    std::intptr_t handle_;
};

// How a helper ended.
struct HelperEnd {
    bool exited = false;  // it exited, with this status:
    int exitStatus = 0;
    int signal = 0;   // else the signal that ended it (0: unknown)
    std::string how;  // that signal in words ("Segmentation fault")
    bool killedByUs = false;

    bool exitedWith(int status) const { return exited && exitStatus == status; }
    // Ended by a signal a process gets when it runs out of memory: killed
    // (by the system's out-of-memory killer), or a crash or abort where an
    // allocation failed at its limit.
    bool likelyOutOfMemory() const;
};

class HelperProcess {
public:
    HelperProcess() = default;
    ~HelperProcess();  // a helper still running is killed and reaped
    HelperProcess(const HelperProcess&) = delete;
    HelperProcess& operator=(const HelperProcess&) = delete;

    // Starts `job` in a helper, its address space bounded to `addressSpaceMiB`
    // (0: no bound; none under the address sanitizer, which reserves terabytes
    // up front). The job's result is the helper's exit status. False, with the
    // reason in `error`, when no helper could be started.
    bool start(const std::function<int(const HelperReport&)>& job, long addressSpaceMiB, std::string& error);

    enum class Report { Data, Closed, Quiet, Failed };
    // Waits up to `milliseconds` for the report and appends what came to `out`:
    // Data, Closed when the helper closed its end (it ended or is ending),
    // Quiet when nothing came in time, Failed when the pipe cannot be read.
    Report readReport(int milliseconds, std::string& out);
    // Everything the helper reports until it closes its end.
    std::string readReportToEnd();

    // The helper's resident size in MiB; -1 when unknown.
    long residentMiB() const;

    // Kills the helper first when `kill` says so, then waits for its end.
    HelperEnd finish(bool kill);

private:
    std::intptr_t process_ = -1;
    std::intptr_t report_ = -1;
};

}  // namespace pelmora::tool::system
