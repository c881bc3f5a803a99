// What an export tells its user: the progress line on a terminal (through a
// pseudo-terminal) and nothing of it on a pipe; the summary on stderr, as
// JSON with --json (also on failure), nothing but errors with --quiet; a
// warning for coordinates that are not finite; --dry-run writing nothing.
#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include <nlohmann/json.hpp>

#include "tests/support/export_run_fixture.h"
#include "tests/support/temp_folder.h"
#include "tests/tool/common/big_drawing.h"
#include "tests/tool/common/tool_runner.h"

namespace pelmora {
namespace {

using exporttest::kMinimalDrawing;
using exporttest::listFolder;
using exporttest::readFile;
using exporttest::runTool;
using exporttest::TempFolder;
using exporttest::ToolResult;
using exporttest::writeFile;
using Json = nlohmann::json;
using Strings = std::vector<std::string>;

using namespace exporttest::outcome;

constexpr int kNoTerminal = -2;

// Runs the tool with its stderr (and stdout) on a pseudo-terminal and gives
// everything it wrote there.
std::string runOnTerminal(const Strings& arguments, int& status, const std::string& interruptAtStep = "") {
    // The test points are the hooked tool's.
    std::vector<std::string> argv{interruptAtStep.empty() ? PELMORA_TOOL : PELMORA_HOOKED_TOOL};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> raw;
    for (auto& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);
    int master = -1;
    winsize size{};
    size.ws_col = 120;
    size.ws_row = 40;
    std::fflush(nullptr);
    pid_t child = forkpty(&master, nullptr, nullptr, &size);
    if (child < 0) {
        status = kNoTerminal;
        return {};
    }
    if (child == 0) {
        if (!interruptAtStep.empty()) setenv("PELMORA_INTERRUPT_AT_STEP", interruptAtStep.c_str(), 1);
        execv(raw[0], raw.data());
        _exit(127);
    }
    std::string text;
    char buffer[4096];
    for (;;) {
        ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0) break;  // EIO once the child has closed the terminal
        text.append(buffer, static_cast<std::size_t>(n));
    }
    close(master);
    int raw_status = 0;
    waitpid(child, &raw_status, 0);
    status = WIFEXITED(raw_status) ? WEXITSTATUS(raw_status) : -1;
    return text;
}

class ExportTells : public ::testing::Test {
protected:
    void SetUp() override {
        hostDir_ = folder_ / "host";
        std::filesystem::create_directories(hostDir_);
        drawing_ = folder_ / "drawing.json";
        writeFile(drawing_, kMinimalDrawing);
        output_ = folder_ / "out/scene.qmx";
        std::filesystem::create_directories(folder_ / "out");
    }
    ToolResult exportWith(Strings extra) {
        Strings args{"export", drawing_, "-o", output_, "--host-dir", hostDir_};
        args.insert(args.end(), extra.begin(), extra.end());
        return runTool(args);
    }
    TempFolder folder_;
    std::string hostDir_, drawing_, output_;
};

TEST_F(ExportTells, ProgressPhasesOnATerminalClearedAtTheEndAndNothingOnAPipe) {
    writeFile(folder_ / "big.json", exporttest::bigDrawing(400, 10));
    int status = -1;
    const std::string screen =
        runOnTerminal({"export", folder_ / "big.json", "-o", output_, "--host-dir", hostDir_, "--mode", "2"}, status);
    if (status == kNoTerminal) GTEST_SKIP() << "this machine gives no pseudo-terminal";
    ASSERT_EQ(status, kExitOk) << screen;
    // Each phase has its line, drawn over with a carriage return, with the
    // time spent; collecting counts the objects against the drawing's total.
    EXPECT_TRUE(contains(screen, "\r\033[Kloading big.json")) << screen;
    EXPECT_TRUE(contains(screen, "\r\033[Kcollecting objects")) << screen;
    EXPECT_TRUE(contains(screen, "of 4 400 objects")) << screen;
    EXPECT_TRUE(contains(screen, "%")) << screen;
    EXPECT_TRUE(contains(screen, " s")) << screen;
    // Cleared before the summary, which is plain text.
    const std::size_t wrote = screen.find("pelmora export: wrote");
    ASSERT_NE(wrote, std::string::npos) << screen;
    EXPECT_EQ(screen.substr(wrote - 4, 4), "\r\033[K") << screen;
    EXPECT_FALSE(contains(screen.substr(wrote), "collecting")) << screen;

    // A model file shows its reading with Assimp's fraction.
    writeFile(folder_ / "tri.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    const std::string model =
        runOnTerminal({"export", folder_ / "tri.obj", "-o", output_, "--host-dir", hostDir_, "--force"}, status);
    ASSERT_EQ(status, kExitOk) << model;
    EXPECT_TRUE(contains(model, "\r\033[Kreading tri.obj")) << model;

    // On a pipe: no progress at all, and --quiet silences it on a terminal.
    ToolResult piped = runTool({"export", folder_ / "big.json", "-o", output_, "--host-dir", hostDir_, "--force"});
    ASSERT_EQ(piped.status, kExitOk) << piped.err;
    EXPECT_FALSE(contains(piped.err, "\r")) << piped.err;
    EXPECT_FALSE(contains(piped.err, "collecting")) << piped.err;
    const std::string quiet = runOnTerminal(
        {"export", folder_ / "big.json", "-o", output_, "--host-dir", hostDir_, "--force", "--quiet"}, status);
    EXPECT_EQ(status, kExitOk);
    EXPECT_EQ(quiet, "");

    // Ctrl+C is acknowledged on the terminal at once, over the progress line.
    const std::string stopped = runOnTerminal(
        {"export", folder_ / "big.json", "-o", output_, "--host-dir", hostDir_, "--force"}, status, "loaded");
    EXPECT_EQ(status, 3) << stopped;
    EXPECT_TRUE(contains(stopped, "\r\033[Kpelmora: stopping\xE2\x80\xA6")) << stopped;
    EXPECT_TRUE(contains(stopped, "was left as it was")) << stopped;
}

TEST_F(ExportTells, SummaryTextJsonAndQuiet) {
    ToolResult r = exportWith({"--mode", "2"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_TRUE(contains(r.err, "pelmora export: wrote " + output_)) << r.err;
    EXPECT_TRUE(contains(r.err, "mode      2 (--mode)")) << r.err;
    EXPECT_TRUE(contains(r.err, "camera    yes")) << r.err;
    EXPECT_TRUE(contains(r.err, "lights    1")) << r.err;
    EXPECT_TRUE(contains(r.err, "meshes    1 (4 vertices, 1 polygons)")) << r.err;
    EXPECT_TRUE(contains(r.err, "0 with a template")) << r.err;
    EXPECT_TRUE(contains(r.err, "1 without: Walls")) << r.err;
    EXPECT_TRUE(contains(r.err, "textures  0")) << r.err;
    EXPECT_TRUE(contains(r.err, "bytes)")) << r.err;
    EXPECT_EQ(r.out, "");

    // Without --mode the remembered one is used, and the summary says so.
    r = exportWith({"--force", "--json"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    Json summary = Json::parse(r.out);
    EXPECT_EQ(summary["status"], "written");
    EXPECT_EQ(summary["exitStatus"], 0);
    EXPECT_EQ(summary["output"], output_);
    EXPECT_EQ(summary["mode"], 2);
    EXPECT_EQ(summary["modeSource"], "remembered");
    EXPECT_EQ(summary["camera"], true);
    EXPECT_EQ(summary["lights"], 1);
    EXPECT_EQ(summary["meshes"], 1);
    EXPECT_EQ(summary["vertices"], 4);
    EXPECT_EQ(summary["polygons"], 1);
    EXPECT_EQ(summary["classesWithoutTemplate"], Json::array({"Walls"}));
    EXPECT_EQ(summary["bytes"], std::filesystem::file_size(output_));
    EXPECT_EQ(summary["messages"], Json::array());
    EXPECT_FALSE(contains(r.err, "mode      ")) << "the JSON replaces the text summary";

    // A failure still gives one object, with the plug-in's message.
    r = exportWith({"--force", "--json", "--mode", "0"});
    EXPECT_EQ(r.status, kExitOk) << "the wall is selected: " << r.err;
    writeFile(drawing_, R"({"pelmoraDrawing": 1, "layers": [{"name": "L", "objects": [
        {"type": "polygon", "points": [[0,0,0],[1,0,0],[1,1,0]]}]}]})");
    r = exportWith({"--force", "--json", "--mode", "0"});
    EXPECT_EQ(r.status, kExitFailure) << r.err;
    summary = Json::parse(r.out);
    EXPECT_EQ(summary["status"], "failed");
    EXPECT_EQ(summary["exitStatus"], kExitFailure);
    ASSERT_EQ(summary["messages"].size(), 1u) << r.out;
    EXPECT_TRUE(contains(summary["messages"][0], "(message 11011/5)")) << r.out;

    // --quiet: nothing on success, the error on failure.
    r = exportWith({"--force", "--quiet", "--mode", "1"});
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_EQ(r.err, "");
    r = exportWith({"--force", "--quiet", "--mode", "0"});
    EXPECT_EQ(r.status, kExitFailure);
    EXPECT_TRUE(contains(r.err, "11011/5")) << r.err;
}

TEST_F(ExportTells, CoordinatesThatAreNotFiniteAreWarnedAbout) {
    // 1e308 metres is no 32-bit float: the file holds infinities.
    writeFile(drawing_, R"({"pelmoraDrawing": 1, "unitsPerInch": 0.0254, "layers": [{"name": "L", "objects": [
        {"type": "polygon", "points": [[0,0,0],[1e308,0,0],[1,1,0]]}]}]})");
    ToolResult r = exportWith({"--mode", "1"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(occurrences(r.err, "warning: the file holds 1 coordinates that are not finite numbers"), 1) << r.err;
    r = exportWith({"--mode", "1", "--force", "--json"});
    Json summary = Json::parse(r.out);
    EXPECT_EQ(summary["nonFiniteCoordinates"], 1);
    // Once, beside the warning that the test's host folder has no templates.
    int said = 0;
    for (const Json& warning : summary["warnings"])
        said += contains(warning.get<std::string>(), "coordinates that are not finite numbers") ? 1 : 0;
    EXPECT_EQ(said, 1) << r.out;
}

TEST_F(ExportTells, DryRunWritesNothing) {
    ToolResult r = exportWith({"--mode", "1"});  // remembers mode 1
    ASSERT_EQ(r.status, kExitOk) << r.err;
    const std::string previous = readFile(output_);
    std::filesystem::remove(output_);
    const std::string pref = readFile(hostDir_ + "/Data/Pelmora.pref");
    const std::string document = readFile(drawing_);
    const std::string fresh = folder_ / "fresh.json";
    writeFile(fresh, kMinimalDrawing);  // no light records yet: an export would write them back

    r = runTool({"export", fresh, "-o", output_, "--host-dir", hostDir_, "--mode", "2", "--dry-run", "--json"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    Json summary = Json::parse(r.out);
    EXPECT_EQ(summary["status"], "dry-run");
    EXPECT_EQ(summary["mode"], 2);
    EXPECT_EQ(summary["meshes"], 1);
    EXPECT_EQ(summary["lights"], 1);
    EXPECT_GT(summary["bytes"].get<long long>(), 0);
    EXPECT_FALSE(std::filesystem::exists(output_));
    EXPECT_EQ(listFolder(folder_ / "out"), Strings{});
    EXPECT_EQ(readFile(hostDir_ + "/Data/Pelmora.pref"), pref) << "the remembered mode stays";
    EXPECT_EQ(readFile(fresh), kMinimalDrawing) << "no light records written back";

    // An existing output is no obstacle to a dry run, and stays as it was.
    writeFile(output_, previous);
    r = runTool({"export", drawing_, "-o", output_, "--host-dir", hostDir_, "--dry-run"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_TRUE(contains(r.err, "dry run: " + output_ + " would be written; nothing was changed")) << r.err;
    EXPECT_TRUE(contains(r.err, "mode      1 (remembered)")) << r.err;
    EXPECT_TRUE(contains(r.err, "not written")) << r.err;
    EXPECT_EQ(readFile(output_), previous);
    EXPECT_EQ(readFile(drawing_), document);
}

}  // namespace
}  // namespace pelmora
