// The bounded model import: the importer runs in a child process with an
// address-space limit, watched by the parent for its time and resident size.
// The child streams its drawing into an anonymous file in the binary handoff
// and reports its progress and its outcome through a pipe; the parent maps
// the file once the child has ended and reads it as untrusted input. The
// child ends with the parent: stopped by the parent at a limit or on Ctrl+C,
// killed by the system when the parent dies.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "tool/import/model_handoff.h"
#include "tool/import/model_import.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PELMORA_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define PELMORA_ADDRESS_SANITIZER 1
#endif

namespace pelmora::tool {
namespace {

// The child's messages on the pipe: progress ('P', the phase, the fraction in
// thousandths as two bytes), then one final answer: the drawing is in the
// handoff ('D'), a refusal and its text ('E'), or out of memory ('M').
constexpr char kAnswerProgress = 'P';
constexpr char kAnswerDrawing = 'D';
constexpr char kAnswerRefused = 'E';
constexpr char kAnswerOutOfMemory = 'M';
constexpr std::size_t kProgressBytes = 4;
constexpr char kPhaseReading = 0;
constexpr char kPhaseConverting = 1;

constexpr int kWatchIntervalMs = 20;

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// An open descriptor, closed with the object.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// The handoff's file: in memory and without a name, so that nothing is left
// behind whatever ends the run; failing that an unnamed file in the
// temporary folder.
int openHandoffFile() {
#if defined(__linux__)
    const int fd = memfd_create("pelmora-import", MFD_CLOEXEC);
    if (fd >= 0) return fd;
#endif
    std::error_code error;
    const std::string folder = std::filesystem::temp_directory_path(error).string();
#if defined(O_TMPFILE)
    return ::open(folder.empty() ? "/tmp" : folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
#else
    return -1;
#endif
}

// The child's side: ties its life to the parent's, bounds its memory, imports
// into the handoff file and answers on the pipe.
[[noreturn]] void runChild(int out, int handoff, pid_t parent, const std::string& path,
                           const ModelImportOptions& options) {
#if defined(__linux__)
    prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
    if (getppid() != parent) _exit(1);
    // Ctrl+C is the parent's to answer: it stops this process at once.
    signal(SIGINT, SIG_IGN);
#if !defined(PELMORA_ADDRESS_SANITIZER)
    // The sanitizer reserves terabytes of shadow memory up front, so under it
    // only the parent's watch of the resident size bounds the child.
    const auto bytes = static_cast<rlim_t>(options.memoryMiB) << 20;
    rlimit memory{bytes, bytes};
    setrlimit(RLIMIT_AS, &memory);
#endif
    // The refusal's text is sent from inside its handler: the exception
    // object (and its text) is gone once the handler ends.
    auto refuse = [out](const char* failure) {
        const char answer = kAnswerRefused;
        const bool sent = writeAll(out, &answer, 1) && writeAll(out, failure, std::char_traits<char>::length(failure));
        _exit(sent ? 0 : 1);
    };
    try {
        ModelImportOptions childOptions = options;
        char phase = kPhaseReading;
        int sentPermille = -1;
        childOptions.progress = [&](double done) {
            const int permille = static_cast<int>(std::clamp(done, 0.0, 1.0) * 1000.0);
            if (permille == sentPermille) return true;
            sentPermille = permille;
            const char message[kProgressBytes] = {kAnswerProgress, phase, static_cast<char>(permille & 0xFF),
                                                  static_cast<char>(permille >> 8)};
            writeAll(out, message, sizeof message);
            return true;
        };
        childOptions.phase = [&](ImportPhase) {
            phase = kPhaseConverting;
            sentPermille = -1;
        };
        childOptions.warning = nullptr;
        childOptions.material = nullptr;
        childOptions.handedOver = [out] {
            const char answer = kAnswerDrawing;
            _exit(writeAll(out, &answer, 1) ? 0 : 1);
        };
        importModelInto(path, childOptions, [handoff, &path](const char* data, std::size_t size) {
            if (writeAll(handoff, data, size)) return true;
            throw ModelImportError("cannot import " + path + ": the imported drawing could not be handed over (" +
                                   std::strerror(errno) + ")");
        });
        const char answer = kAnswerDrawing;
        _exit(writeAll(out, &answer, 1) ? 0 : 1);
    } catch (const ModelImportError& refused) { refuse(refused.what()); } catch (const std::bad_alloc&) {
        const char outOfMemory = kAnswerOutOfMemory;
        _exit(writeAll(out, &outOfMemory, 1) ? 0 : 1);
    } catch (const std::exception& error) { refuse(error.what()); } catch (...) {
        refuse("the importer failed");
    }
    _exit(1);  // not reached: every branch above ends the child
}

// Resident size of a process in MiB, -1 when unknown.
long residentMiB(pid_t pid) {
    char name[64];
    std::snprintf(name, sizeof name, "/proc/%d/statm", static_cast<int>(pid));
    std::FILE* file = std::fopen(name, "r");
    if (!file) return -1;
    long pages = 0, resident = 0;
    const int got = std::fscanf(file, "%ld %ld", &pages, &resident);
    std::fclose(file);
    if (got != 2) return -1;
    return resident * (sysconf(_SC_PAGESIZE) / 1024) / 1024;
}

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", seconds);
    return text;
}

// Ends the child (when still running) and reaps it; gives its wait status.
int reap(pid_t pid, bool kill) {
    if (kill) ::kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    return status;
}

enum class Outcome { Answered, TimedOut, TooLarge, Broken, Stopped };

// The time limit counts from the caller's first look at the file, when it says when that was.
std::chrono::steady_clock::time_point startOf(const ModelImportOptions& options) {
    return options.startedAt == std::chrono::steady_clock::time_point{} ? std::chrono::steady_clock::now()
                                                                        : options.startedAt;
}

// The parent's watch over a running child: reads its pipe, passes its
// progress on, and ends the watch at the answer or at a limit.
class ChildWatch {
public:
    ChildWatch(int in, pid_t child, const ModelImportOptions& options)
        : in_(in),
          child_(child),
          options_(options),
          deadline_(startOf(options) + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                           std::chrono::duration<double>(options.seconds))) {}

    Outcome run() {
        char buffer[65536];
        for (;;) {
            pollfd watch{in_, POLLIN, 0};
            const int ready = poll(&watch, 1, kWatchIntervalMs);
            if (ready < 0 && errno != EINTR) return Outcome::Broken;
            if (ready > 0) {
                const ssize_t n = ::read(in_, buffer, sizeof buffer);
                if (n == 0) return Outcome::Answered;
                if (n < 0 && errno != EINTR && errno != EAGAIN) return Outcome::Broken;
                if (n > 0) take(buffer, static_cast<std::size_t>(n));
            }
            if (options_.progress && !options_.progress(fraction_)) return Outcome::Stopped;
            if (std::chrono::steady_clock::now() >= deadline_) return Outcome::TimedOut;
            if (residentMiB(child_) > options_.memoryMiB) return Outcome::TooLarge;
        }
    }

    // The final answer, progress messages taken out.
    const std::string& answer() const { return answer_; }

private:
    void take(const char* data, std::size_t size) {
        if (!answer_.empty()) {
            answer_.append(data, size);
            return;
        }
        pending_.append(data, size);
        std::size_t at = 0;
        while (at < pending_.size() && pending_[at] == kAnswerProgress) {
            if (pending_.size() - at < kProgressBytes) break;
            progress(pending_[at + 1],
                     static_cast<unsigned char>(pending_[at + 2]) | static_cast<unsigned char>(pending_[at + 3]) << 8);
            at += kProgressBytes;
        }
        if (at < pending_.size() && pending_[at] != kAnswerProgress) {
            answer_ = pending_.substr(at);
            pending_.clear();
        } else {
            pending_.erase(0, at);
        }
    }

    void progress(char phase, int permille) {
        if (phase == kPhaseConverting && !converting_) {
            converting_ = true;
            if (options_.phase) options_.phase(ImportPhase::Converting);
        }
        fraction_ = std::min(permille, 1000) / 1000.0;
    }

    int in_;
    pid_t child_;
    const ModelImportOptions& options_;
    std::chrono::steady_clock::time_point deadline_;
    std::string pending_;
    std::string answer_;
    double fraction_ = 0.0;
    bool converting_ = false;
};

// The handed-over drawing, read from the handoff file as untrusted input.
hostsim::Drawing takeOver(int handoff, const std::string& path, const ModelImportOptions& options) {
    auto damaged = [&path](const std::string& why) {
        return ModelImportError("cannot import " + path + ": the importing process handed over a damaged drawing (" +
                                why + ")");
    };
    struct stat info {};
    if (fstat(handoff, &info) != 0 || info.st_size <= 0) throw damaged("no data");
    const auto size = static_cast<std::size_t>(info.st_size);
    void* mapped = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, handoff, 0);
    if (mapped == MAP_FAILED)
        throw ModelImportError("cannot import " + path + ": the handed-over drawing of " + std::to_string(size) +
                               " bytes cannot be mapped");
    struct Unmap {
        void* at;
        std::size_t size;
        ~Unmap() { munmap(at, size); }
    } unmap{mapped, size};
    if (options.phase) options.phase(ImportPhase::TakingOver);
    HandoffReading reading;
    if (options.progress)
        reading.progress = [&options, &path](double done) {
            if (!options.progress(done)) throw ModelImportError("the import of " + path + " was stopped");
        };
    // What has been read is given back at once, so that the handoff and the
    // drawing made of it are not held whole at the same time.
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    reading.consumed = [handoff, page, released = std::size_t{0}](std::size_t upTo) mutable {
        const std::size_t end = upTo / page * page;
        if (end <= released) return;
#if defined(__linux__)
        fallocate(handoff, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, static_cast<off_t>(released),
                  static_cast<off_t>(end - released));
#endif
        released = end;
    };
    try {
        HandoffResult result = readHandoff(std::string_view(static_cast<const char*>(mapped), size), reading);
        if (options.warning)
            for (const std::string& text : result.warnings) options.warning(text);
        if (options.material)
            for (const ImportedMaterial& material : result.materials) options.material(material);
        return std::move(result.drawing);
    } catch (const HandoffError& bad) { throw damaged(bad.what()); }
}

void checkOptions(const ModelImportOptions& options) {
    if (!(options.unitMetres > 0.0) || !std::isfinite(options.unitMetres))
        throw ModelImportError("the model unit must be a positive length in metres");
    if (!(options.seconds > 0.0) || !std::isfinite(options.seconds))
        throw ModelImportError("the import time limit must be a positive number of seconds");
    if (options.memoryMiB <= 0) throw ModelImportError("the import memory limit must be a positive number of MiB");
}

// The refusal for a child that ended without a drawing.
void refuseAnswer(const std::string& path, const ModelImportOptions& options, Outcome outcome, int status,
                  const std::string& answer) {
    const std::string limits = " (limits: " + secondsText(options.seconds) + " s, " +
                               std::to_string(options.memoryMiB) + " MiB; --import-time and --import-memory set them)";
    const std::string tooLarge = "cannot import " + path + ": the import needs more than " +
                                 std::to_string(options.memoryMiB) + " MiB of memory" + limits;
    switch (outcome) {
        case Outcome::Stopped:
            throw ModelImportError("the import of " + path + " was stopped");
        case Outcome::TimedOut:
            throw ModelImportError("cannot import " + path + ": the import did not finish within " +
                                   secondsText(options.seconds) + " s; the file may be malformed" + limits);
        case Outcome::TooLarge:
            throw ModelImportError(tooLarge);
        case Outcome::Broken:
            throw ModelImportError("cannot import " + path + ": the importing process could not be read");
        case Outcome::Answered:
            break;
    }
    if (answer.empty() || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        if (WIFSIGNALED(status) && (WTERMSIG(status) == SIGKILL || WTERMSIG(status) == SIGSEGV ||
                                    WTERMSIG(status) == SIGABRT || WTERMSIG(status) == SIGBUS))
            throw ModelImportError("cannot import " + path + ": the importer failed (signal " +
                                   std::to_string(WTERMSIG(status)) + "), most likely for want of memory" + limits);
        throw ModelImportError("cannot import " + path + ": the importer failed" + limits);
    }
    if (answer.front() == kAnswerRefused) throw ModelImportError(answer.substr(1));
    if (answer.front() == kAnswerOutOfMemory) throw ModelImportError(tooLarge);
    if (answer != std::string(1, kAnswerDrawing))
        throw ModelImportError("cannot import " + path + ": the importer gave no drawing");
}

}  // namespace

hostsim::Drawing importModel(const std::string& path, const ModelImportOptions& options) {
    checkOptions(options);
    const Descriptor handoff(openHandoffFile());
    int pipeFds[2];
    if (handoff.get() < 0 || pipe2(pipeFds, O_CLOEXEC) != 0)
        throw ModelImportError("cannot start the import of " + path + ": " + std::strerror(errno));
    std::fflush(nullptr);
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        runChild(pipeFds[1], handoff.get(), parent, path, options);
    }
    ::close(pipeFds[1]);
    const Descriptor in(pipeFds[0]);
    if (child < 0) throw ModelImportError("cannot start the import of " + path);

    ChildWatch watch(in.get(), child, options);
    Outcome outcome = Outcome::Broken;
    try {
        outcome = watch.run();
    } catch (...) {
        reap(child, true);
        throw;
    }
    const int status = reap(child, outcome != Outcome::Answered);
    refuseAnswer(path, options, outcome, status, watch.answer());
    return takeOver(handoff.get(), path, options);
}

}  // namespace pelmora::tool
