#include "tool/export/batch_export.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/child_processes.h"
#include "platform/file_creation.h"
#include "platform/file_status.h"
#include "platform/path_text.h"
#include "tool/output/exit_status.h"
#include "tool/output/progress_line.h"
#include "tool/output/tool_message.h"

namespace pelmora::tool {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

constexpr int kMaxJobs = system::ChildProcesses::kMaxSlots;

std::string slurp(const std::string& path) {
    std::ifstream in(system::pathOf(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Job {
    std::string input;
    std::string output;
    std::string outFile, errFile;  // where the child's stdout and stderr go
    int status = kExitFailure;
    Json summary;
    std::string errors;
    bool refused = false;  // not started: the input is missing or not a file
};

std::string statusLine(const Job& job) {
    const Json& s = job.summary;
    std::string line = job.input + " -> " + job.output + ": ";
    if (!s.is_object())
        return line + "failed: " + (job.errors.empty() ? "the export process gave no summary" : job.errors);
    const std::string status = s.value("status", "failed");
    if (status == "written" || status == "dry-run") {
        line += status == "written" ? "written" : "dry run, not written";
        line += " (" + counted(s.value("meshes", 0), "mesh", "meshes") + ", " +
                counted(s.value("polygons", 0LL), "polygon", "polygons") + ", " +
                counted(s.value("lights", 0), "light", "lights") + ", " +
                ProgressLine::bytesText(s.value("bytes", 0LL)) + ")";
        for (const auto& warning : s.value("warnings", Json::array()))
            line += "\n    warning: " + warning.get<std::string>();
        return line;
    }
    line += status;
    for (const auto& error : s.value("errors", Json::array())) line += "\n    " + error.get<std::string>();
    return line;
}

}  // namespace

std::vector<std::string> childArguments(const BatchRequest& request, const std::string& input,
                                        const std::string& output) {
    std::vector<std::string> args{"export", input, "-o", output, "--json", "--quiet"};
    args.insert(args.end(), request.optionsForEach.begin(), request.optionsForEach.end());
    return args;
}

namespace {

// One output per input, named after it, in `folder`; false (after saying
// why) when two inputs would share one.
bool planJobs(const BatchRequest& request, const fs::path& folder, std::vector<Job>& jobs) {
    std::map<std::string, std::string> taken;
    for (const std::string& input : request.inputs) {
        Job job;
        job.input = input;
        job.output = system::textOf(folder / system::pathOf(system::textOf(system::pathOf(input).stem()) + ".qmx"));
        if (auto found = taken.find(job.output); found != taken.end()) {
            toolRefusal(
                kExitUsage, "export",
                found->second + " and " + input + " would both be written to " + job.output + "; rename one of them",
                request.single.json);
            return false;
        }
        taken.emplace(job.output, input);
        // Said in the batch's report as any failed export is; the others run.
        if (std::string refusal = system::inputFileRefusal(input, "a drawing document or a model file");
            !refusal.empty()) {
            job.refused = true;
            job.status = kExitUsage;
            job.summary = Json{{"status", "bad-input"},
                               {"exitStatus", kExitUsage},
                               {"input", job.input},
                               {"output", job.output},
                               {"errors", Json::array({std::move(refusal)})}};
        }
        jobs.push_back(std::move(job));
    }
    return true;
}

Json failedSummary(const Job& job) {
    return Json{{"status", "failed"},
                {"exitStatus", job.status},
                {"input", job.input},
                {"output", job.output},
                {"errors", Json::array({job.errors})}};
}

// The exports of a batch, each in its own process, at most `width` at once.
// Ctrl+C is held from the start until the last export process ended.
class BatchRun {
public:
    BatchRun(const BatchRequest& request, std::vector<Job>& jobs, std::string scratchDir)
        : request_(request),
          jobs_(jobs),
          scratchDir_(std::move(scratchDir)),
          inSlot_(static_cast<std::size_t>(std::clamp(request.jobs, 1, kMaxJobs)), nullptr) {
        children_.emplace();
    }

    void run() {
        while (done_ < jobs_.size()) {
            startWhileSlotsAreFree();
            if (running_ == 0) {
                cancelTheRest();
                break;
            }
            const std::optional<system::ChildProcesses::Ended> ended = children_->waitForOne();
            if (!ended) break;
            if (Job* finished = std::exchange(inSlot_[static_cast<std::size_t>(ended->slot)], nullptr))
                collect(*finished, *ended);
        }
        children_.reset();
    }

private:
    void startWhileSlotsAreFree() {
        while (running_ < inSlot_.size() && next_ < jobs_.size() && children_->interrupts() == 0) {
            const int slot = static_cast<int>(std::find(inSlot_.begin(), inSlot_.end(), nullptr) - inSlot_.begin());
            Job& job = jobs_[next_++];
            if (job.refused) report(job);
            else if (start(job, slot)) ++running_;
            else report(job);
        }
    }

    bool start(Job& job, int slot) {
        const std::string base = scratchDir_ + "/" + std::to_string(&job - jobs_.data());
        job.outFile = base + ".out";
        job.errFile = base + ".err";
        if (!children_->start(slot, childArguments(request_, job.input, job.output), job.outFile, job.errFile,
                              job.errors)) {
            job.status = kExitFailure;
            return false;
        }
        inSlot_[static_cast<std::size_t>(slot)] = &job;
        return true;
    }

    // Stopped before the rest could start: they count as cancelled.
    void cancelTheRest() {
        while (next_ < jobs_.size()) {
            Job& job = jobs_[next_++];
            job.status = kExitCancelled;
            job.summary = Json{{"status", "cancelled"},
                               {"exitStatus", kExitCancelled},
                               {"input", job.input},
                               {"output", job.output},
                               {"errors", Json::array({"not started: stopped by Ctrl+C"})}};
            report(job);
        }
    }

    void collect(Job& job, const system::ChildProcesses::Ended& ended) {
        --running_;
        job.status = ended.exited ? ended.exitStatus : ended.byInterrupt ? kExitCancelled : kExitFailure;
        if (!ended.how.empty()) job.errors = ended.how;
        job.summary = Json::parse(slurp(job.outFile), nullptr, false);
        if (job.summary.is_discarded()) job.summary = Json();
        if (!job.summary.is_object()) {
            std::string err = slurp(job.errFile);
            while (!err.empty() && err.back() == '\n') err.pop_back();
            if (!err.empty()) job.errors = err;
        }
        report(job);
    }

    void report(const Job& job) {
        ++done_;
        if (request_.single.json) return;
        if (request_.single.quiet && job.status == kExitOk) return;
        toolMessage("export",
                    "[" + std::to_string(done_) + "/" + std::to_string(jobs_.size()) + "] " + statusLine(job));
    }

    const BatchRequest& request_;
    std::vector<Job>& jobs_;
    const std::string scratchDir_;
    std::optional<system::ChildProcesses> children_;
    std::vector<Job*> inSlot_;  // the job each slot runs; none for a free slot
    std::size_t next_ = 0, done_ = 0, running_ = 0;
};

void printJsonSummary(const std::vector<Job>& jobs, int worst) {
    Json all = Json::array();
    for (const Job& job : jobs) all.push_back(job.summary.is_object() ? job.summary : failedSummary(job));
    std::cout << Json{{"exitStatus", worst}, {"exports", std::move(all)}}.dump(2, ' ', false,
                                                                               Json::error_handler_t::replace)
              << std::endl;
}

// The output folder, made when missing, as a name ending in / says it is a
// folder to write into; a dry run makes nothing and says what it would do.
int makeOutputFolder(const BatchRequest& request, const fs::path& folder) {
    std::error_code error;
    if (fs::is_directory(folder, error)) return kExitOk;
    const bool json = request.single.json;
    if (fs::exists(folder, error))
        return toolRefusal(kExitUsage, "export", system::textOf(folder) + " is a file, not a folder", json);
    if (request.single.dryRun)
        return toolRefusal(kExitUsage, "export",
                           "the output folder " + system::textOf(folder) +
                               " does not exist; a dry run makes nothing (the export itself makes it)",
                           json);
    fs::create_directories(folder, error);
    std::error_code ignored;
    if (!fs::is_directory(folder, ignored))
        return toolRefusal(kExitUsage, "export",
                           "cannot create the output folder " + system::textOf(folder) +
                               (error ? ": " + error.message() : std::string()),
                           json);
    if (!request.single.quiet && !json) toolMessage("export", "created the folder " + system::textOf(folder));
    return kExitOk;
}

}  // namespace

int runBatchExport(const BatchRequest& request) {
    std::error_code error;
    const fs::path folder = fs::absolute(system::pathOf(request.outputDir), error).lexically_normal();
    if (int status = makeOutputFolder(request, folder); status != kExitOk) return status;
    std::vector<Job> jobs;
    if (!planJobs(request, folder, jobs)) return kExitUsage;

    const std::string scratchDir = system::makePrivateFolder("pelmora-batch");
    if (scratchDir.empty()) {
        return toolRefusal(kExitFailure, "export", "cannot create a temporary folder: " + system::lastFileError(),
                           request.single.json);
    }
    BatchRun(request, jobs, scratchDir).run();
    std::error_code ignored;
    fs::remove_all(system::pathOf(scratchDir), ignored);

    int worst = kExitOk;
    for (const Job& job : jobs)
        if (exitSeverity(job.status) > exitSeverity(worst)) worst = job.status;
    if (request.single.json) printJsonSummary(jobs, worst);
    return worst;
}

}  // namespace pelmora::tool
