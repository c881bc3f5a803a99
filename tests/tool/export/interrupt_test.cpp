// Ctrl+C during a real export of a large drawing, at several moments: through
// the abort poll and at the tool's own steps. Before the new file
// replaces the old one the run ends with exit 3, the previous file
// byte-identical and no temporary file; after it, with exit 0 and the new file
// complete. A second Ctrl+C ends the process at once without a partial file.
// Each moment is reached through the run's own seams, never by a timer.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <cstring>
#include <filesystem>

#include "qmxread/qmx_reader.h"
#include "tests/support/temp_folder.h"
#include "tests/tool/common/big_drawing.h"
#include "tests/tool/common/tool_runner.h"
#include "tool/export/export_run.h"

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

TEST_F(CtrlC, AtEveryMomentOfTheRunTheOutcomeIsOneOfTheTwo) {
    // Wherever Ctrl+C lands, from the first abort poll to the last group's and
    // past the replacement, the run either stopped and kept the old file or
    // had already replaced it with a complete new one.
    ToolOptions options;
    options.program = PELMORA_HOOKED_TOOL;
    std::vector<std::pair<std::string, std::string>> moments;
    for (const char* poll : {"1", "750", "1500", "2250", "3000"})
        moments.emplace_back("PELMORA_INTERRUPT_AT_POLL", poll);
    for (const char* step : {"loaded", "staged", "written", "replaced"})
        moments.emplace_back("PELMORA_INTERRUPT_AT_STEP", step);
    for (const auto& [seam, moment] : moments) {
        writeFile(output_, kPrevious);
        options.environment = {{seam, moment}};
        const ToolResult r = runTool(arguments(), options);
        const std::string when = seam + "=" + moment;
        if (moment == "replaced") {
            EXPECT_EQ(r.status, kExitOk) << when << "\n" << r.err;
            expectReplaced(when);
        } else {
            expectStopped(r.status, r.err, when);
        }
    }
}

// Runs the export in a child process that presses Ctrl+C twice as the run
// reaches `moment`; gives the child's wait status.
int pressedTwiceAt(const tool::ExportRequest& request, const char* moment) {
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 2);
        tool::ExportRequest pressed = request;
        pressed.atMoment = [moment](const char* reached) {
            if (std::strcmp(reached, moment) != 0) return;
            ::raise(SIGINT);
            ::raise(SIGINT);
        };
        ::_exit(tool::runExportRequest(pressed));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return status;
}

TEST_F(CtrlC, TwiceEndsAtOnceWithoutAPartialFile) {
    tool::ExportRequest request;
    request.drawingPath = drawing_;
    request.outputPath = output_;
    request.hostDir = hostDir_;
    request.mode = 2;
    request.force = true;
    for (const char* moment : {"loaded", "staged", "written"}) {
        writeFile(output_, kPrevious);
        const int status = pressedTwiceAt(request, moment);
        const std::string when = std::string("twice at ") + moment;
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << when << ": " << status;
        EXPECT_EQ(readFile(output_), kPrevious) << when;
        EXPECT_EQ(listFolder(folder_ / "out"), Strings{"scene.qmx"}) << when;
        EXPECT_FALSE(std::filesystem::exists(folder_ / ".big.json.lock")) << when << ": the drawing's lock file";
        EXPECT_EQ(readFile(drawing_), *drawingText_) << when;
    }
}

}  // namespace
}  // namespace pelmora
