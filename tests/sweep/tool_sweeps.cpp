#include "tests/sweep/tool_sweeps.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "qmxread/qmx_reader.h"
#include "tests/sweep/alloc_fault.h"
#include "tests/sweep/io_fault.h"
#include "tool/cli/run_tool.h"

namespace pelmora::sweep {
namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

int runToolCapturing(const std::vector<std::string>& arguments, const fs::path& errFile,
                     const std::function<void()>& armFault) {
    std::vector<std::string> argv{"pelmora"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> raw;
    for (auto& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);
    std::fflush(stderr);
    const int saved = dup(2);
    const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(err, 2);
    ::close(err);
    armFault();
    const int status = tool::runProgram(static_cast<int>(argv.size()), raw.data());
    disarmAllocationFault();
    disarmFileFault();
    std::fflush(stderr);
    dup2(saved, 2);
    ::close(saved);
    return status;
}

namespace {

void arm(FaultKind kind, long n, const fs::path& folder) {
    switch (kind) {
        case FaultKind::AllocationOnce:
            armAllocationFault(n, FaultMode::Once);
            break;
        case FaultKind::AllocationFromThereOn:
            armAllocationFault(n, FaultMode::FromThereOn);
            break;
        case FaultKind::FileOperation:
            armFileFault(folder.string() + "/", n);
            break;
        case FaultKind::DiskFull:
            armDiskFull(folder.string() + "/", n);
            break;
    }
}

void disarm() {
    disarmAllocationFault();
    disarmFileFault();
}

bool fired(FaultKind kind) {
    switch (kind) {
        case FaultKind::AllocationOnce:
        case FaultKind::AllocationFromThereOn:
            return allocationFaultFired();
        case FaultKind::FileOperation:
            return fileFaultFired();
        case FaultKind::DiskFull:
            return true;
    }
    return false;
}

bool isQmxReadable(const fs::path& path) {
    try {
        qmxread::readQmxFile(path.string());
        return true;
    } catch (const std::exception&) { return false; }
}

}  // namespace

const char* faultKindName(FaultKind kind) {
    switch (kind) {
        case FaultKind::AllocationOnce:
            return "allocation N fails";
        case FaultKind::AllocationFromThereOn:
            return "allocations from N on fail";
        case FaultKind::FileOperation:
            return "file operation N fails";
        case FaultKind::DiskFull:
            return "disk full after N bytes";
    }
    return "?";
}

std::string SweepCounts::summary() const {
    std::ostringstream text;
    text << cases << " cases over " << total << " (every " << stride << "):";
    for (const auto& [outcome, count] : outcomes) text << " " << count << " " << outcomeName(outcome) << ",";
    text << " of which " << completedDespiteFault << " completed although the fault fired";
    return text.str();
}

Snapshot snapshotOf(const fs::path& folder) {
    Snapshot files;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        if (it->is_directory()) {
            files[fs::relative(it->path(), folder).string() + "/"] = "";
            continue;
        }
        files[fs::relative(it->path(), folder).string()] = readAll(it->path());
    }
    return files;
}

ToolSweep::ToolSweep(fs::path base, Scenario scenario)
    : base_(std::move(base)), work_(base_ / "work"), scenario_(std::move(scenario)) {}

void ToolSweep::prepareReference() {
    fs::remove_all(work_);
    fs::create_directories(work_);
    scenario_.prepare(work_);
    before_ = snapshotOf(work_);
    runToolCapturing(scenario_.arguments(work_), base_ / "reference.err");
    reference_ = snapshotOf(work_);
}

CaseVerdict ToolSweep::runOnce(FaultKind kind, long n) {
    CaseVerdict verdict;
    fs::remove_all(work_);
    fs::create_directories(work_);
    scenario_.prepare(work_);
    const std::vector<std::string> arguments = scenario_.arguments(work_);
    const fs::path errFile = base_ / "case.err";

    const int status = runToolCapturing(arguments, errFile, [&] { arm(kind, n, work_); });
    verdict.faultFired = fired(kind);
    const std::string failedOp = failedOperation();
    const std::string failedAt = failedPath();
    disarm();

    const std::string message = readAll(errFile);
    const Snapshot after = snapshotOf(work_);
    if (std::getenv("PELMORA_SWEEP_ONLY") != nullptr)
        fs::copy(work_, base_ / ("kept-" + std::to_string(static_cast<int>(kind))), fs::copy_options::recursive);
    std::ostringstream bad;
    for (const auto& [path, bytes] : after) {
        const auto old = before_.find(path);
        const auto fresh = reference_.find(path);
        if (old == before_.end() && fresh == reference_.end()) {
            // A temporary file or folder ("NAME/") whose removal was the failure cannot be helped.
            const std::string entry = path.ends_with('/') ? path.substr(0, path.size() - 1) : path;
            if (failedOp == "remove" && fs::path(failedAt) == work_ / entry) continue;
            bad << "left behind: " << path << "; ";
            continue;
        }
        const bool asBefore = old != before_.end() && old->second == bytes;
        const bool asReference = fresh != reference_.end() && fresh->second == bytes;
        // The remembered mode is stored before the export; one that could not
        // be stored is simply not remembered, and the export goes on.
        const bool preference = path.ends_with("Pelmora.pref");
        if (status == 0 && !asReference && !(preference && asBefore)) {
            // A template that could not be read is skipped: the scene differs but must be whole.
            const bool templateUnread = failedOp == "fopen" && failedAt.find("/Pelmora/") != std::string::npos;
            if (!(templateUnread && path.ends_with(".qmx") && isQmxReadable(work_ / path)))
                bad << "after success " << path << " is not what a clean run writes; ";
        } else if (!asBefore && !asReference) {
            bad << path << " is neither as it was nor complete (" << bytes.size() << " bytes); ";
        }
    }
    for (const auto& [path, bytes] : before_)
        if (after.find(path) == after.end() && reference_.find(path) != reference_.end())
            bad << "destroyed: " << path << "; ";
    if (status != 0 && message.empty()) bad << "exit status " << status << " without a message; ";
    if (status == 3) bad << "a failure reported as a cancel; ";
    // 4: the output written, the drawing not updated (its write-back failed).
    if (status < 0 || status > 4) bad << "exit status " << status << "; ";

    const std::string problems = bad.str();
    if (!problems.empty()) {
        verdict.outcome = Outcome::Bad;
        verdict.detail = problems + "(failed: " + failedOp + " " + failedAt + "; status " + std::to_string(status) +
                         "; stderr: " + message.substr(0, 300) + ")";
    } else {
        verdict.outcome = status == 0 ? Outcome::Completed : Outcome::CleanFailure;
    }
    return verdict;
}

long ToolSweep::countClean(FaultKind kind) {
    if (kind == FaultKind::DiskFull && std::getenv("PELMORA_SWEEP_ONLY") == nullptr) {
        long bytes = 0;
        for (const auto& [path, content] : reference_) {
            const auto old = before_.find(path);
            if (old == before_.end() || old->second != content) bytes += static_cast<long>(content.size());
        }
        return bytes;
    }
    const CaseResult counted = runCase([&] {
        CaseVerdict verdict;
        fs::remove_all(work_);
        fs::create_directories(work_);
        scenario_.prepare(work_);
        const std::vector<std::string> arguments = scenario_.arguments(work_);
        runToolCapturing(arguments, base_ / "count.err", [&] { arm(kind, 0, work_); });
        const long count = kind == FaultKind::FileOperation ? fileOperationsSinceArm() : allocationsSinceArm();
        disarm();
        verdict.outcome = Outcome::Completed;
        verdict.detail = std::to_string(count);
        return verdict;
    });
    return std::atol(counted.detail.c_str());
}

SweepCounts ToolSweep::sweep(FaultKind kind, long maxCases) {
    SweepCounts counts;
    counts.total = countClean(kind);
    counts.stride = maxCases > 0 && counts.total > maxCases ? (counts.total + maxCases - 1) / maxCases : 1;
    // A disk budget starts at nothing at all; the other faults at the first operation.
    long first = kind == FaultKind::DiskFull ? 0 : 1;
    long last = counts.total + 1;
    // PELMORA_SWEEP_ONLY=N reruns case N alone and leaves its folder for a look.
    if (const char* only = std::getenv("PELMORA_SWEEP_ONLY")) first = last = std::atol(only);
    // PELMORA_SWEEP_UPTO=N ends each sweep at case N.
    if (const char* upTo = std::getenv("PELMORA_SWEEP_UPTO")) last = std::min(last, std::atol(upTo));
    for (long n = first; n <= last; n += counts.stride) {
        const CaseResult result = runCase([&] { return runOnce(kind, n); });
        ++counts.cases;
        ++counts.outcomes[result.outcome];
        if (result.outcome == Outcome::Completed && result.faultFired && kind != FaultKind::DiskFull)
            ++counts.completedDespiteFault;
        if (result.outcome == Outcome::Bad || result.outcome == Outcome::Crashed || result.outcome == Outcome::Leaked)
            counts.problems.push_back("case " + std::to_string(n) + ": " + outcomeName(result.outcome) + ": " +
                                      result.detail.substr(0, 3000));
        if (!result.faultFired && kind != FaultKind::DiskFull) break;
    }
    if (kind == FaultKind::DiskFull && std::getenv("PELMORA_SWEEP_ONLY") == nullptr) {
        // With room to spare the run must complete.
        const CaseResult roomy = runCase([&] { return runOnce(kind, 4 * counts.total + (1 << 20)); });
        ++counts.cases;
        ++counts.outcomes[roomy.outcome];
        if (roomy.outcome != Outcome::Completed)
            counts.problems.push_back(std::string("a disk with room to spare: ") + outcomeName(roomy.outcome) + ": " +
                                      roomy.detail.substr(0, 3000));
    }
    return counts;
}

}  // namespace pelmora::sweep
