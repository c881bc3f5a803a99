#include "tool/batch_export.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>

#include <nlohmann/json.hpp>

#include "tool/commands.h"
#include "tool/progress_line.h"

extern char** environ;

namespace pelmora::tool {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

constexpr int kMaxJobs = 64;

// Ctrl+C in a batch: the children run in their own process group, so the
// terminal's signal reaches the batch alone, which hands each one on.
volatile std::sig_atomic_t g_interrupts = 0;
volatile pid_t g_children[kMaxJobs] = {};

extern "C" void onBatchInterrupt(int) {
    g_interrupts = g_interrupts + 1;
    for (auto& child : g_children)
        if (child > 0) ::kill(child, SIGINT);
    if (g_interrupts >= 2) {
        // The children quit at once on their second signal; so does the batch.
        std::signal(SIGINT, SIG_DFL);
        ::raise(SIGINT);
    }
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Job {
    std::string input;
    std::string output;
    std::string outFile, errFile;  // where the child's stdout and stderr go
    pid_t pid = 0;
    int slot = -1;
    int status = kExitFailure;
    Json summary;
    std::string errors;
};

std::string upText(UpAxis up) { return up == UpAxis::Y ? "y" : up == UpAxis::Z ? "z" : "auto"; }

std::string statusLine(const Job& job) {
    const Json& s = job.summary;
    std::string line = job.input + " -> " + job.output + ": ";
    if (!s.is_object()) return line + "failed: " + (job.errors.empty() ? "the export process gave no summary" : job.errors);
    const std::string status = s.value("status", "failed");
    if (status == "written" || status == "dry-run") {
        line += status == "written" ? "written" : "dry run, not written";
        line += " (" + std::to_string(s.value("meshes", 0)) + " meshes, " +
                ProgressLine::countText(s.value("polygons", 0LL)) + " polygons, " +
                std::to_string(s.value("lights", 0)) + " lights, " + ProgressLine::bytesText(s.value("bytes", 0LL)) +
                ")";
        for (const auto& warning : s.value("warnings", Json::array())) line += "\n    warning: " + warning.get<std::string>();
        return line;
    }
    line += status;
    for (const auto& error : s.value("errors", Json::array())) line += "\n    " + error.get<std::string>();
    return line;
}

}  // namespace

std::vector<std::string> childArguments(const ExportRequest& single, const std::string& input,
                                        const std::string& output) {
    std::vector<std::string> args{"export", input, "-o", output, "--json", "--quiet"};
    if (single.mode) args.insert(args.end(), {"--mode", std::to_string(*single.mode)});
    if (!single.hostDir.empty()) args.insert(args.end(), {"--host-dir", single.hostDir});
    if (single.force) args.push_back("--force");
    if (single.dryRun) args.push_back("--dry-run");
    char unit[64];
    std::snprintf(unit, sizeof unit, "%.17g", single.model.unitMetres);
    args.insert(args.end(), {"--model-unit", unit, "--model-up", upText(single.model.up)});
    std::snprintf(unit, sizeof unit, "%.17g", single.model.seconds);
    args.insert(args.end(), {"--import-time", unit, "--import-memory", std::to_string(single.model.memoryMiB)});
    if (!single.modulePath.empty()) args.insert(args.end(), {"--module", single.modulePath});
    return args;
}

int runBatchExport(const BatchRequest& request) {
    std::error_code error;
    const fs::path folder = fs::absolute(request.outputDir, error).lexically_normal();
    if (!fs::is_directory(folder, error)) {
        std::fprintf(stderr, "pelmora export: the output folder %s does not exist; create it first\n",
                     folder.string().c_str());
        return kExitUsage;
    }

    // One output per input, named after it; two inputs may not share one.
    std::vector<Job> jobs;
    std::map<std::string, std::string> taken;
    for (const std::string& input : request.inputs) {
        Job job;
        job.input = input;
        job.output = (folder / (fs::path(input).stem().string() + ".qmx")).string();
        if (auto found = taken.find(job.output); found != taken.end()) {
            std::fprintf(stderr, "pelmora export: %s and %s would both be written to %s; rename one of them\n",
                         found->second.c_str(), input.c_str(), job.output.c_str());
            return kExitUsage;
        }
        taken.emplace(job.output, input);
        jobs.push_back(std::move(job));
    }

    char scratchPattern[] = "/tmp/pelmora-batch-XXXXXX";
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp == '/' ? tmp : "/tmp") + "/pelmora-batch-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const char* scratch = ::mkdtemp(buffer.data());
    if (!scratch) scratch = ::mkdtemp(scratchPattern);
    if (!scratch) {
        std::fprintf(stderr, "pelmora export: cannot create a temporary folder: %s\n", std::strerror(errno));
        return kExitFailure;
    }
    const std::string scratchDir = scratch;

    struct sigaction action {}, previous {};
    action.sa_handler = onBatchInterrupt;
    sigemptyset(&action.sa_mask);
    g_interrupts = 0;
    sigaction(SIGINT, &action, &previous);

    const int width = std::clamp(request.jobs, 1, kMaxJobs);
    std::vector<bool> slotBusy(static_cast<std::size_t>(width), false);
    std::size_t next = 0, done = 0, running = 0;
    const bool quiet = request.single.quiet, json = request.single.json;
    auto start = [&](Job& job, int slot) {
        const std::string base = scratchDir + "/" + std::to_string(&job - jobs.data());
        job.outFile = base + ".out";
        job.errFile = base + ".err";
        std::vector<std::string> args = childArguments(request.single, job.input, job.output);
        args.insert(args.begin(), "pelmora");
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, job.outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&files, STDERR_FILENO, job.errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
        posix_spawnattr_setpgroup(&attributes, 0);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attributes, &none);
        pid_t pid = 0;
        // The children must not see a Ctrl+C twice; the batch's handler may
        // run only once the pid is in its table.
        sigset_t block, old;
        sigemptyset(&block);
        sigaddset(&block, SIGINT);
        sigprocmask(SIG_BLOCK, &block, &old);
        int failed = posix_spawn(&pid, "/proc/self/exe", &files, &attributes, argv.data(), environ);
        if (failed == 0) {
            job.pid = pid;
            job.slot = slot;
            g_children[slot] = pid;
            if (g_interrupts > 0) ::kill(pid, SIGINT);
        }
        sigprocmask(SIG_SETMASK, &old, nullptr);
        posix_spawn_file_actions_destroy(&files);
        posix_spawnattr_destroy(&attributes);
        if (failed != 0) {
            job.errors = std::string("cannot start the export process: ") + std::strerror(failed);
            job.status = kExitFailure;
            return false;
        }
        return true;
    };
    auto report = [&](const Job& job) {
        ++done;
        if (json) return;
        const bool ok = job.status == kExitOk;
        if (quiet && ok) return;
        std::fprintf(stderr, "pelmora: [%zu/%zu] %s\n", done, jobs.size(), statusLine(job).c_str());
    };

    while (done < jobs.size()) {
        while (running < static_cast<std::size_t>(width) && next < jobs.size() && g_interrupts == 0) {
            int slot = 0;
            while (slotBusy[static_cast<std::size_t>(slot)]) ++slot;
            Job& job = jobs[next++];
            if (start(job, slot)) {
                slotBusy[static_cast<std::size_t>(slot)] = true;
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
                job.summary = Json{{"status", "cancelled"}, {"exitStatus", kExitCancelled}, {"input", job.input},
                                   {"output", job.output}, {"errors", Json::array({"not started: stopped by Ctrl+C"})}};
                report(job);
            }
            break;
        }
        int raw = 0;
        pid_t ended = ::waitpid(-1, &raw, 0);
        if (ended < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (Job& job : jobs) {
            if (job.pid != ended) continue;
            g_children[job.slot] = 0;
            slotBusy[static_cast<std::size_t>(job.slot)] = false;
            --running;
            job.pid = 0;
            job.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : kExitFailure;
            if (WIFSIGNALED(raw)) {
                job.status = WTERMSIG(raw) == SIGINT ? kExitCancelled : kExitFailure;
                job.errors = "the export process ended by signal " + std::to_string(WTERMSIG(raw));
            }
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
    sigaction(SIGINT, &previous, nullptr);
    std::error_code ignored;
    fs::remove_all(scratchDir, ignored);

    int worst = kExitOk;
    for (const Job& job : jobs) worst = std::max(worst, job.status);
    if (json) {
        Json all = Json::array();
        for (const Job& job : jobs) {
            Json s = job.summary.is_object() ? job.summary : Json{{"status", "failed"}, {"exitStatus", job.status},
                                                                  {"input", job.input}, {"output", job.output},
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
