// Runs of the whole `pelmora` command line in a prepared folder, under one
// armed fault, and the judgement of what they left behind.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/sweep/sweep_case.h"

namespace pelmora::sweep {

// One scenario: what a folder holds before the run and the command run in it.
struct Scenario {
    std::string name;
    // Fills a fresh folder with the run's inputs and the files it may replace.
    std::function<void(const std::filesystem::path& folder)> prepare;
    std::function<std::vector<std::string>(const std::filesystem::path& folder)> arguments;
};

enum class FaultKind { AllocationOnce, AllocationFromThereOn, FileOperation, DiskFull };
const char* faultKindName(FaultKind kind);

struct SweepCounts {
    long total = 0;  // allocations, file operations or bytes of a clean run
    long cases = 0;
    long stride = 1;
    std::map<Outcome, long> outcomes;
    long completedDespiteFault = 0;     // the fault fired and the run still succeeded
    std::vector<std::string> problems;  // case number and detail of each Bad, Crashed or Leaked case
    std::string summary() const;
};

using Snapshot = std::map<std::string, std::string>;  // path inside the folder -> bytes

class ToolSweep {
public:
    ToolSweep(std::filesystem::path base, Scenario scenario);

    // Runs the scenario once without a fault: the state every successful run must leave.
    void prepareReference();
    // At most `maxCases` cases spread evenly over the clean run (0: every one).
    SweepCounts sweep(FaultKind kind, long maxCases);

private:
    CaseVerdict runOnce(FaultKind kind, long n);
    long countClean(FaultKind kind);

    std::filesystem::path base_;
    std::filesystem::path work_;
    Scenario scenario_;
    Snapshot before_;
    Snapshot reference_;
};

Snapshot snapshotOf(const std::filesystem::path& folder);

// Runs the tool in this process with its standard error in `errFile`; the
// fault is armed just before the tool starts and disarmed as it returns.
int runToolCapturing(
    const std::vector<std::string>& arguments, const std::filesystem::path& errFile,
    const std::function<void()>& armFault = [] {});

}  // namespace pelmora::sweep
