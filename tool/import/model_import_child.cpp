// The bounded model import: the importer runs in a child process with an
// address-space limit, watched by the parent for its time and resident size.
// The child streams its drawing into an anonymous file in the binary handoff
// and reports its progress and its outcome through a pipe; the parent maps
// the file once the child has ended and reads it as untrusted input. The
// child ends with the parent: stopped by the parent at a limit or on Ctrl+C,
// killed by the system when the parent dies.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/anonymous_file.h"
#include "platform/helper_process.h"
#include "platform/memory_pages.h"
#include "tool/import/model_handoff.h"
#include "tool/import/model_import.h"

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

// The helper's side: imports into the handoff file and answers on the pipe.
[[noreturn]] void runChild(const system::HelperReport& out, const system::AnonymousFile& handoff,
                           const std::string& path, const ModelImportOptions& options) {
    // The refusal's text is sent from inside its handler: the exception
    // object (and its text) is gone once the handler ends.
    auto refuse = [&out](const char* failure) {
        const char answer = kAnswerRefused;
        const bool sent = out.write(&answer, 1) && out.write(failure, std::char_traits<char>::length(failure));
        out.end(sent ? 0 : 1);
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
            out.write(message, sizeof message);
            return true;
        };
        childOptions.phase = [&](ImportPhase) {
            phase = kPhaseConverting;
            sentPermille = -1;
        };
        childOptions.warning = nullptr;
        childOptions.material = nullptr;
        childOptions.handedOver = [&out] {
            const char answer = kAnswerDrawing;
            out.end(out.write(&answer, 1) ? 0 : 1);
        };
        importModelInto(path, childOptions, [&handoff, &path](const char* data, std::size_t size) {
            if (handoff.write(data, size)) return true;
            throw ModelImportError("cannot import " + path + ": the imported drawing could not be handed over (" +
                                   std::strerror(errno) + ")");
        });
        const char answer = kAnswerDrawing;
        out.end(out.write(&answer, 1) ? 0 : 1);
    } catch (const ModelImportError& refused) { refuse(refused.what()); } catch (const std::bad_alloc&) {
        const char outOfMemory = kAnswerOutOfMemory;
        out.end(out.write(&outOfMemory, 1) ? 0 : 1);
    } catch (const std::exception& error) { refuse(error.what()); } catch (...) {
        refuse("the importer failed");
    }
    out.end(1);  // not reached: every branch above ends the child
}

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", seconds);
    return text;
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
    ChildWatch(system::HelperProcess& child, const ModelImportOptions& options)
        : child_(child),
          options_(options),
          deadline_(startOf(options) + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                           std::chrono::duration<double>(options.seconds))) {}

    Outcome run() {
        std::string got;
        for (;;) {
            got.clear();
            switch (child_.readReport(kWatchIntervalMs, got)) {
                case system::HelperProcess::Report::Closed:
                    return Outcome::Answered;
                case system::HelperProcess::Report::Failed:
                    return Outcome::Broken;
                case system::HelperProcess::Report::Data:
                    take(got.data(), got.size());
                    break;
                case system::HelperProcess::Report::Quiet:
                    break;
            }
            if (options_.progress && !options_.progress(fraction_)) return Outcome::Stopped;
            if (std::chrono::steady_clock::now() >= deadline_) return Outcome::TimedOut;
            if (child_.residentMiB() > options_.memoryMiB) return Outcome::TooLarge;
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

    system::HelperProcess& child_;
    const ModelImportOptions& options_;
    std::chrono::steady_clock::time_point deadline_;
    std::string pending_;
    std::string answer_;
    double fraction_ = 0.0;
    bool converting_ = false;
};

// The handed-over drawing, read from the handoff file as untrusted input.
hostsim::Drawing takeOver(const system::AnonymousFile& handoff, const std::string& path,
                          const ModelImportOptions& options) {
    auto damaged = [&path](const std::string& why) {
        return ModelImportError("cannot import " + path + ": the importing process handed over a damaged drawing (" +
                                why + ")");
    };
    const long long bytes = handoff.size();
    if (bytes <= 0) throw damaged("no data");
    const auto size = static_cast<std::size_t>(bytes);
    const system::MappedFile mapped(handoff, size);
    if (!mapped.valid())
        throw ModelImportError("cannot import " + path + ": the handed-over drawing of " + std::to_string(size) +
                               " bytes cannot be mapped");
    if (options.phase) options.phase(ImportPhase::TakingOver);
    HandoffReading reading;
    if (options.progress)
        reading.progress = [&options, &path](double done) {
            if (!options.progress(done)) throw ModelImportError("the import of " + path + " was stopped");
        };
    // What has been read is given back at once, so that the handoff and the
    // drawing made of it are not held whole at the same time.
    reading.consumed = [&handoff, page = system::pageSize(), released = std::size_t{0}](std::size_t upTo) mutable {
        const std::size_t end = upTo / page * page;
        if (end <= released) return;
        handoff.release(released, end - released);
        released = end;
    };
    try {
        HandoffResult result = readHandoff(std::string_view(mapped.data(), mapped.size()), reading);
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
void refuseAnswer(const std::string& path, const ModelImportOptions& options, Outcome outcome,
                  const system::HelperEnd& end, const std::string& answer) {
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
    if (answer.empty() || !end.exitedWith(0)) {
        if (end.likelyOutOfMemory())
            throw ModelImportError("cannot import " + path + ": the importer failed (signal " +
                                   std::to_string(end.signal) + "), most likely for want of memory" + limits);
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
    const system::AnonymousFile handoff("pelmora-import");
    system::HelperProcess child;
    std::string error = handoff.valid() ? std::string() : std::strerror(errno);
    if (!handoff.valid() ||
        !child.start([&](const system::HelperReport& out) -> int { runChild(out, handoff, path, options); },
                     options.memoryMiB, error))
        throw ModelImportError("cannot start the import of " + path + ": " + error);

    ChildWatch watch(child, options);
    // A failure while watching leaves the helper to the destructor, which kills it.
    const Outcome outcome = watch.run();
    refuseAnswer(path, options, outcome, child.finish(outcome != Outcome::Answered), watch.answer());
    return takeOver(handoff, path, options);
}

}  // namespace pelmora::tool
