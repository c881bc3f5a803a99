// The bounded model import: the importer runs in a child process with an
// address-space limit, watched by the parent for its time and resident size,
// and hands its drawing back through a pipe as a drawing document.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "tool/model/model_import.h"

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

// First byte of the child's answer. A drawing may come after warnings, each
// kAnswerWarning, its text, then a zero byte.
constexpr char kAnswerDrawing = 'D';
constexpr char kAnswerWarning = 'W';
constexpr char kAnswerRefused = 'E';
constexpr char kAnswerOutOfMemory = 'M';

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

[[noreturn]] void runChild(int out, const std::string& path, const ModelImportOptions& options) {
#if !defined(PELMORA_ADDRESS_SANITIZER)
    // The sanitizer reserves terabytes of shadow memory up front, so under it
    // only the parent's watch of the resident size bounds the child.
    const auto bytes = static_cast<rlim_t>(options.memoryMiB) << 20;
    rlimit memory{bytes, bytes};
    setrlimit(RLIMIT_AS, &memory);
#endif
    // The refusal's text is sent from inside its handler: the exception
    // object (and its text) is gone once the handler ends.
    const char answer = kAnswerRefused;
    auto refuse = [out, answer](const char* failure) {
        const bool sent = writeAll(out, &answer, 1) && writeAll(out, failure, std::char_traits<char>::length(failure));
        _exit(sent ? 0 : 1);
    };
    try {
        std::string text;
        ModelImportOptions childOptions = options;
        childOptions.warning = [&text](const std::string& warning) {
            text += kAnswerWarning;
            text += warning;
            text += '\0';
        };
        const hostsim::Drawing drawing = importModelInProcess(path, childOptions);
        text += kAnswerDrawing;
        text += hostsim::serializeDrawing(drawing);
        _exit(writeAll(out, text.data(), text.size()) ? 0 : 1);
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

}  // namespace

hostsim::Drawing importModel(const std::string& path, const ModelImportOptions& options) {
    if (!(options.unitMetres > 0.0) || !std::isfinite(options.unitMetres))
        throw ModelImportError("the model unit must be a positive length in metres");
    if (!(options.seconds > 0.0) || !std::isfinite(options.seconds))
        throw ModelImportError("the import time limit must be a positive number of seconds");
    if (options.memoryMiB <= 0) throw ModelImportError("the import memory limit must be a positive number of MiB");

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) throw ModelImportError("cannot start the import of " + path);
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        throw ModelImportError("cannot start the import of " + path);
    }
    if (child == 0) {
        ::close(pipeFds[0]);
        runChild(pipeFds[1], path, options);
    }
    ::close(pipeFds[1]);
    const int in = pipeFds[0];

    // Read the answer while watching the clock and the child's size.
    std::string answer;
    const auto started = options.startedAt == std::chrono::steady_clock::time_point{} ? std::chrono::steady_clock::now()
                                                                                      : options.startedAt;
    const auto deadline = started + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                        std::chrono::duration<double>(options.seconds));
    enum class Outcome { Answered, TimedOut, TooLarge, Broken } outcome = Outcome::Answered;
    try {
        char buffer[65536];
        for (;;) {
            pollfd watch{in, POLLIN, 0};
            const int ready = poll(&watch, 1, kWatchIntervalMs);
            if (ready < 0 && errno != EINTR) {
                outcome = Outcome::Broken;
                break;
            }
            if (ready > 0) {
                const ssize_t n = ::read(in, buffer, sizeof buffer);
                if (n == 0) break;
                if (n < 0 && errno != EINTR && errno != EAGAIN) {
                    outcome = Outcome::Broken;
                    break;
                }
                if (n > 0) answer.append(buffer, static_cast<std::size_t>(n));
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                outcome = Outcome::TimedOut;
                break;
            }
            const long resident = residentMiB(child);
            if (resident > options.memoryMiB) {
                outcome = Outcome::TooLarge;
                break;
            }
        }
    } catch (...) {
        ::close(in);
        reap(child, true);
        throw;
    }
    ::close(in);
    const int status = reap(child, outcome != Outcome::Answered);

    const std::string limits = " (limits: " + secondsText(options.seconds) + " s, " +
                               std::to_string(options.memoryMiB) + " MiB; --import-time and --import-memory set them)";
    switch (outcome) {
        case Outcome::TimedOut:
            throw ModelImportError("cannot import " + path + ": the import did not finish within " +
                                   secondsText(options.seconds) + " s; the file may be malformed" + limits);
        case Outcome::TooLarge:
            throw ModelImportError("cannot import " + path + ": the import needs more than " +
                                   std::to_string(options.memoryMiB) + " MiB of memory" + limits);
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
    std::vector<std::string> warnings;
    std::size_t start = 0;
    while (start < answer.size() && answer[start] == kAnswerWarning) {
        const std::size_t end = answer.find('\0', start);
        if (end == std::string::npos) break;
        warnings.push_back(answer.substr(start + 1, end - start - 1));
        start = end + 1;
    }
    answer.erase(0, start);
    if (answer.empty()) throw ModelImportError("cannot import " + path + ": the importer gave no drawing");
    switch (answer.front()) {
        case kAnswerRefused:
            throw ModelImportError(answer.substr(1));
        case kAnswerOutOfMemory:
            throw ModelImportError("cannot import " + path + ": the import needs more than " +
                                   std::to_string(options.memoryMiB) + " MiB of memory" + limits);
        case kAnswerDrawing:
            break;
        default:
            throw ModelImportError("cannot import " + path + ": the importer gave no drawing");
    }
    hostsim::Drawing drawing;
    try {
        drawing = hostsim::parseDrawing(std::string_view(answer).substr(1));
    } catch (const hostsim::DocumentError& bad) {
        throw ModelImportError("cannot import " + path + ": the imported drawing is not valid" +
                               (bad.path().empty() ? std::string() : " at " + bad.path()) + ": " + bad.what());
    }
    if (options.warning)
        for (const std::string& text : warnings) options.warning(text);
    return drawing;
}

}  // namespace pelmora::tool
