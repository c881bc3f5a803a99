// Stopping a model import that would run on: Ctrl+C once or twice, the import
// time limit, and Ctrl+C to a batch of two at once. Each ends the importing
// process with the run, keeps the previous output byte for byte and leaves no
// staging or handoff file and no process behind.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "tests/support/temp_folder.h"
#include "tests/tool/common/tool_runner.h"

namespace pelmora {
namespace {

namespace fs = std::filesystem;
using exporttest::listFolder;
using exporttest::readFile;
using exporttest::TempFolder;
using exporttest::ToolResult;
using exporttest::writeFile;
using Strings = std::vector<std::string>;
using Clock = std::chrono::steady_clock;
using namespace exporttest::outcome;

// A model the importer reads for ever.
const fs::path kEndless = fs::path(PELMORA_SOURCE_DIR) / "tests/data/hostile-models/hang-1.ply";
constexpr const char* kPrevious = "the previous export, kept byte for byte";

// Every process below `pid` (children, their children, ...).
std::set<int> descendants(int pid) {
    std::set<int> found;
    std::vector<int> todo{pid};
    while (!todo.empty()) {
        const int at = todo.back();
        todo.pop_back();
        std::error_code error;
        for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(at) + "/task", error)) {
            std::ifstream children(task.path() / "children");
            for (int child; children >> child;)
                if (found.insert(child).second) todo.push_back(child);
        }
    }
    return found;
}

// Running, as opposed to gone or ended and waiting to be reaped.
bool running(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] != 'Z' && text[close + 2] != 'X';
}

// Waits until the tool has `count` processes below it, `imports` of them
// importing (the ones without children of their own): a state the run reaches
// and keeps, since the imports never end by themselves. Bounded (60 s) only so
// that a run that never gets there fails rather than hangs.
std::set<int> importersOf(int pid, std::size_t count, std::size_t imports) {
    const auto giveUp = Clock::now() + std::chrono::seconds(60);
    std::set<int> found;
    while (Clock::now() < giveUp) {
        found = descendants(pid);
        std::size_t importers = 0;
        for (int p : found) importers += descendants(p).empty() ? 1 : 0;
        if (found.size() >= count && importers >= imports) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return found;
}

class ImportStop : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(folder_ / "out");
        fs::create_directories(folder_ / "host");
        for (const char* name : {"a.ply", "b.ply"}) fs::copy_file(kEndless, folder_ / name);
        writeFile(folder_ / "out/a.qmx", kPrevious);
    }
    Strings single() const {
        return {"export",     folder_ / "a.ply", "-o", folder_ / "out/a.qmx", "--force", "--mode", "2",
                "--host-dir", folder_ / "host"};
    }
    // The previous output as it was, nothing else beside it, nothing running.
    void expectNothingLeft(const std::set<int>& processes, const std::string& when) {
        EXPECT_EQ(readFile(folder_ / "out/a.qmx"), kPrevious) << when;
        EXPECT_EQ(listFolder(folder_ / "out"), Strings{"a.qmx"}) << when;
        // A process killed after its parent ended waits to be reaped by
        // another; it must be ended (the wait is bounded only so that a
        // process left running fails the test rather than hangs it).
        const auto giveUp = Clock::now() + std::chrono::seconds(30);
        for (int pid : processes) {
            while (running(pid) && Clock::now() < giveUp) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            EXPECT_FALSE(running(pid)) << when << ": process " << pid << " still runs";
        }
    }
    TempFolder folder_;
};

TEST_F(ImportStop, CtrlCOnceOrTwiceEndsTheImportAtOnce) {
    for (int presses : {1, 2}) {
        const exporttest::StartedTool run = exporttest::startTool(single());
        // Once the importing process runs, the import never ends by itself:
        // whenever Ctrl+C comes from then on, only Ctrl+C can end the run.
        const std::set<int> importers = importersOf(run.pid, 1, 1);
        ASSERT_FALSE(importers.empty()) << "no import started";
        for (int i = 0; i < presses; ++i) kill(run.pid, SIGINT);
        const ToolResult ended = exporttest::finishTool(run);
        const std::string when = std::to_string(presses) + " press(es)";
        // Two presses close together may reach the tool as one.
        if (presses == 1) EXPECT_EQ(ended.status, kExitCancelled) << when << "\n" << ended.err;
        else EXPECT_TRUE(ended.signal == SIGINT || ended.status == kExitCancelled) << when << "\n" << ended.err;
        expectNothingLeft(importers, when);
    }
}

TEST_F(ImportStop, TheTimeLimitEndsTheImportAndRefuses) {
    Strings arguments = single();
    for (const char* option : {"--import-time", "1"}) arguments.push_back(option);
    const exporttest::StartedTool run = exporttest::startTool(arguments);
    const std::set<int> importers = importersOf(run.pid, 1, 1);
    const ToolResult ended = exporttest::finishTool(run);
    EXPECT_EQ(ended.status, kExitUsage) << ended.err;
    EXPECT_TRUE(contains(ended.err, "did not finish within 1 s")) << ended.err;
    expectNothingLeft(importers, "time limit");
}

TEST_F(ImportStop, CtrlCToABatchOfTwoEndsBothImports) {
    fs::remove(folder_ / "out/a.qmx");
    writeFile(folder_ / "out/a.qmx", kPrevious);
    const exporttest::StartedTool run =
        exporttest::startTool({"export", folder_ / "a.ply", folder_ / "b.ply", "--output-dir", folder_ / "out",
                               "--force", "-j", "2", "--mode", "2", "--host-dir", folder_ / "host"});
    const std::set<int> processes = importersOf(run.pid, 4, 2);  // two exports, each with its import
    EXPECT_GE(processes.size(), 4u);
    kill(run.pid, SIGINT);
    const ToolResult ended = exporttest::finishTool(run);
    EXPECT_EQ(ended.status, kExitCancelled) << ended.err;
    expectNothingLeft(processes, "batch");
}

}  // namespace
}  // namespace pelmora
