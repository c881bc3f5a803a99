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

#include "tool/output/progress_line.h"
#include "tool/output/tool_message.h"
#include "tool/system/child_processes.h"
#include "tool/system/exit_status.h"
#include "tool/system/file_creation.h"
#include "tool/system/path_text.h"

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

int runBatchExport(const BatchRequest& request) {
    std::error_code error;
    const fs::path folder = fs::absolute(system::pathOf(request.outputDir), error).lexically_normal();
    if (!fs::is_directory(folder, error)) {
        return toolMessage(kExitUsage, "export",
                           "the output folder " + system::textOf(folder) + " does not exist; create it first");
    }

    // One output per input, named after it; two inputs may not share one.
    std::vector<Job> jobs;
    std::map<std::string, std::string> taken;
    for (const std::string& input : request.inputs) {
        Job job;
        job.input = input;
        job.output = system::textOf(folder / system::pathOf(system::textOf(system::pathOf(input).stem()) + ".qmx"));
        if (auto found = taken.find(job.output); found != taken.end()) {
            return toolMessage(
                kExitUsage, "export",
                found->second + " and " + input + " would both be written to " + job.output + "; rename one of them");
        }
        taken.emplace(job.output, input);
        jobs.push_back(std::move(job));
    }

    const std::string scratchDir = system::makePrivateFolder("pelmora-batch");
    if (scratchDir.empty()) {
        return toolMessage(kExitFailure, "export", "cannot create a temporary folder: " + system::lastFileError());
    }

    // Holds Ctrl+C from here until the last export process ended.
    std::optional<system::ChildProcesses> children;
    children.emplace();
    const int width = std::clamp(request.jobs, 1, kMaxJobs);
    // The job each slot runs; none for a free slot.
    std::vector<Job*> inSlot(static_cast<std::size_t>(width), nullptr);
    std::size_t next = 0, done = 0, running = 0;
    const bool quiet = request.single.quiet, json = request.single.json;
    auto start = [&](Job& job, int slot) {
        const std::string base = scratchDir + "/" + std::to_string(&job - jobs.data());
        job.outFile = base + ".out";
        job.errFile = base + ".err";
        if (!children->start(slot, childArguments(request, job.input, job.output), job.outFile, job.errFile,
                             job.errors)) {
            job.status = kExitFailure;
            return false;
        }
        inSlot[static_cast<std::size_t>(slot)] = &job;
        return true;
    };
    auto report = [&](const Job& job) {
        ++done;
        if (json) return;
        const bool ok = job.status == kExitOk;
        if (quiet && ok) return;
        toolMessage("export", "[" + std::to_string(done) + "/" + std::to_string(jobs.size()) + "] " + statusLine(job));
    };

    while (done < jobs.size()) {
        while (running < static_cast<std::size_t>(width) && next < jobs.size() && children->interrupts() == 0) {
            const int slot = static_cast<int>(std::find(inSlot.begin(), inSlot.end(), nullptr) - inSlot.begin());
            Job& job = jobs[next++];
            if (start(job, slot)) {
                ++running;
            } else {
                report(job);
            }
        }
        if (running == 0) {
            // Stopped before the rest could start: they count as cancelled.
            while (next < jobs.size()) {
                Job& job = jobs[next++];
                job.status = kExitCancelled;
                job.summary = Json{{"status", "cancelled"},
                                   {"exitStatus", kExitCancelled},
                                   {"input", job.input},
                                   {"output", job.output},
                                   {"errors", Json::array({"not started: stopped by Ctrl+C"})}};
                report(job);
            }
            break;
        }
        const std::optional<system::ChildProcesses::Ended> ended = children->waitForOne();
        if (!ended) break;
        if (Job* finished = std::exchange(inSlot[static_cast<std::size_t>(ended->slot)], nullptr)) {
            Job& job = *finished;
            --running;
            job.status = ended->exited ? ended->exitStatus : ended->byInterrupt ? kExitCancelled : kExitFailure;
            if (!ended->how.empty()) job.errors = ended->how;
            job.summary = Json::parse(slurp(job.outFile), nullptr, false);
            if (job.summary.is_discarded()) job.summary = Json();
            if (!job.summary.is_object()) {
                std::string err = slurp(job.errFile);
                while (!err.empty() && err.back() == '\n') err.pop_back();
                if (!err.empty()) job.errors = err;
            }
            report(job);
        }
    }
    children.reset();
    std::error_code ignored;
    fs::remove_all(system::pathOf(scratchDir), ignored);

    int worst = kExitOk;
    for (const Job& job : jobs)
        if (exitSeverity(job.status) > exitSeverity(worst)) worst = job.status;
    if (json) {
        Json all = Json::array();
        for (const Job& job : jobs) {
            Json s = job.summary.is_object() ? job.summary
                                             : Json{{"status", "failed"},
                                                    {"exitStatus", job.status},
                                                    {"input", job.input},
                                                    {"output", job.output},
                                                    {"errors", Json::array({job.errors})}};
            all.push_back(std::move(s));
        }
        std::cout << Json{{"exitStatus", worst}, {"exports", std::move(all)}}.dump(2, ' ', false,
                                                                                   Json::error_handler_t::replace)
                  << std::endl;
    }
    return worst;
}

}  // namespace pelmora::tool
