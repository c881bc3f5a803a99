// Ctrl+C during a real export of a large drawing, at several moments: through
// the abort poll, at the tool's own steps and by timer. Before the new file
// replaces the old one the run ends with exit 3, the previous file
// byte-identical and no temporary file; after it, with exit 0 and the new file
// complete. A second Ctrl+C ends the process at once without a partial file.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <chrono>
#include <filesystem>
#include <thread>

#include "qmxread/qmx_reader.h"
#include "tests/support/temp_folder.h"
#include "tests/tool/common/big_drawing.h"
#include "tests/tool/common/tool_runner.h"

namespace pelmora {
namespace {

using exporttest::listFolder;
using exporttest::readFile;
using exporttest::runTool;
using exporttest::TempFolder;
using exporttest::ToolOptions;
using exporttest::ToolResult;
using exporttest::writeFile;
using Strings = std::vector<std::string>;

constexpr const char* kPrevious = "the previous export, kept byte for byte";

using namespace exporttest::outcome;

bool completeQmx(const std::string& path) {
    try {
        return !qmxread::readQmxFile(path).roots.empty();
    } catch (const std::exception&) { return false; }
}

class CtrlC : public ::testing::Test {
protected:
    static void SetUpTestSuite() { drawingText_ = new std::string(exporttest::bigDrawing(3000, 24)); }
    static void TearDownTestSuite() { delete drawingText_; }

    void SetUp() override {
        hostDir_ = folder_ / "host";
        std::filesystem::create_directories(hostDir_);
        drawing_ = folder_ / "big.json";
        writeFile(drawing_, *drawingText_);
        std::filesystem::create_directories(folder_ / "out");
        output_ = folder_ / "out/scene.qmx";
        writeFile(output_, kPrevious);
    }
    Strings arguments() const {
        return {"export", drawing_, "-o", output_, "--host-dir", hostDir_, "--mode", "2", "--force"};
    }
    // Exit 3, the previous file as it was, nothing else in its folder.
    void expectStopped(int status, const std::string& err, const std::string& when) {
        EXPECT_EQ(status, kExitCancelled) << when << "\n" << err;
        EXPECT_EQ(readFile(output_), kPrevious) << when;
        EXPECT_EQ(listFolder(folder_ / "out"), Strings{"scene.qmx"}) << when;
        EXPECT_TRUE(contains(err, "stopped by Ctrl+C")) << when << "\n" << err;
        EXPECT_TRUE(contains(err, "was left as it was")) << when << "\n" << err;
    }
    void expectReplaced(const std::string& when) {
        EXPECT_TRUE(completeQmx(output_)) << when;
        EXPECT_EQ(listFolder(folder_ / "out"), Strings{"scene.qmx"}) << when;
    }

    static std::string* drawingText_;
    TempFolder folder_;
    std::string hostDir_, drawing_, output_;
};
std::string* CtrlC::drawingText_ = nullptr;

TEST_F(CtrlC, AtTheAbortPollAndAtEachStepBeforeTheReplacementNothingChanges) {
    ToolOptions options;
    options.program = PELMORA_HOOKED_TOOL;
    // The plug-in polls once per group: the first one, one in the middle, and
    // Ctrl+C after the file was written but before it replaced the old one.
    for (const std::string poll : {"1", "1200"}) {
        options.environment = {{"PELMORA_INTERRUPT_AT_POLL", poll}};
        ToolResult r = runTool(arguments(), options);
        expectStopped(r.status, r.err, "at poll " + poll);
    }
    for (const std::string step : {"loaded", "written"}) {
        options.environment = {{"PELMORA_INTERRUPT_AT_STEP", step}};
        ToolResult r = runTool(arguments(), options);
        expectStopped(r.status, r.err, "at step " + step);
    }
    // The light records of the drawing were not written back either.
    EXPECT_EQ(readFile(drawing_), *drawingText_);
}

TEST_F(CtrlC, AfterTheReplacementTheNewFileIsCompleteAndTheRunSaysSo) {
    ToolOptions options;
    options.program = PELMORA_HOOKED_TOOL;
    options.environment = {{"PELMORA_INTERRUPT_AT_STEP", "replaced"}};
    ToolResult r = runTool(arguments(), options);
    EXPECT_EQ(r.status, kExitOk) << r.err;
    expectReplaced("after the replacement");
    EXPECT_TRUE(contains(r.err, "Ctrl+C came after " + output_ + " was replaced; the file is complete")) << r.err;
}

TEST_F(CtrlC, ByTimerEveryOutcomeIsOneOfTheTwo) {
    // Whenever the signal lands, the run either stopped and kept the old file,
    // or had already replaced it with a complete new one.
    int stoppedRuns = 0;
    for (int delayMs : {30, 300, 700, 1100, 1500}) {
        writeFile(output_, kPrevious);
        const exporttest::StartedTool run = exporttest::startTool(arguments());
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        kill(run.pid, SIGINT);
        const ToolResult ended = exporttest::finishTool(run);
        const std::string when = "Ctrl+C after " + std::to_string(delayMs) + " ms";
        if (ended.signal == SIGINT) {
            // So early that the tool had not taken Ctrl+C over yet.
            EXPECT_EQ(readFile(output_), kPrevious) << when;
            EXPECT_EQ(listFolder(folder_ / "out"), Strings{"scene.qmx"}) << when;
            ++stoppedRuns;
        } else if (ended.status == kExitCancelled) {
            expectStopped(ended.status, ended.err, when);
            ++stoppedRuns;
        } else {
            EXPECT_EQ(ended.status, kExitOk) << when << "\n" << ended.err;
            expectReplaced(when);
        }
    }
    EXPECT_GT(stoppedRuns, 0) << "a signal 30 ms into the run must stop it";
}

TEST_F(CtrlC, TwiceEndsAtOnceWithoutAPartialFile) {
    for (int delayMs : {100, 600, 1100}) {
        writeFile(output_, kPrevious);
        const exporttest::StartedTool run = exporttest::startTool(arguments());
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        kill(run.pid, SIGINT);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        kill(run.pid, SIGINT);
        const ToolResult ended = exporttest::finishTool(run);
        const std::string when = "twice after " + std::to_string(delayMs) + " ms";
        if (ended.status == kExitOk) {
            expectReplaced(when);  // it had finished before the signals came
            continue;
        }
        EXPECT_TRUE(ended.signal == SIGINT || ended.status == kExitCancelled) << when << "\n" << ended.err;
        EXPECT_EQ(readFile(output_), kPrevious) << when;
        EXPECT_EQ(listFolder(folder_ / "out"), Strings{"scene.qmx"}) << when;
        EXPECT_FALSE(std::filesystem::exists(folder_ / ".big.json.lock")) << when << ": the drawing's lock file";
    }
}

}  // namespace
}  // namespace pelmora
