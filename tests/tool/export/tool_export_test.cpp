// `pelmora export` as a user runs it: exit statuses, --force, --mode, the host
// folder, Ctrl+C, a disk that fills up, and the drawing written back.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "hostsim/document/drawing.h"
#include "hostsim/host/emulated_host.h"
#include "qmxread/qmx_reader.h"
#include "tests/support/export_run_fixture.h"
#include "tests/support/temp_folder.h"
#include "tests/tool/common/tool_runner.h"

namespace pelmora {
namespace {

using exporttest::kLightsOnlyDrawing;
using exporttest::kMinimalDrawing;
using exporttest::listFolder;
using exporttest::readFile;
using exporttest::runTool;
using exporttest::TempFolder;
using exporttest::ToolOptions;
using exporttest::ToolResult;
using exporttest::writeFile;
using Strings = std::vector<std::string>;

using namespace exporttest::outcome;

struct Identity {
    ino_t inode = 0;
    timespec modified{};
    bool operator==(const Identity& o) const {
        return inode == o.inode && modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
    }
};
Identity identityOf(const std::string& path) {
    struct stat info {};
    stat(path.c_str(), &info);
    return {info.st_ino, info.st_mtim};
}

class ToolExport : public ::testing::Test {
protected:
    void SetUp() override {
        hostDir_ = folder_ / "host";
        std::filesystem::create_directories(hostDir_ + "/Pelmora");
        drawing_ = folder_ / "drawing.json";
        writeFile(drawing_, kMinimalDrawing);
        output_ = folder_ / "out/scene.qmx";
        std::filesystem::create_directories(folder_ / "out");
    }
    ToolResult exportWith(Strings extra = {}, const ToolOptions& options = {}) {
        Strings args{"export", drawing_, "-o", output_, "--host-dir", hostDir_};
        args.insert(args.end(), extra.begin(), extra.end());
        return runTool(args, options);
    }
    std::string pref() const { return readFile(hostDir_ + "/Data/Pelmora.pref"); }

    TempFolder folder_;
    std::string hostDir_, drawing_, output_;
};

TEST_F(ToolExport, WritesTheFileAndExitsZero) {
    ToolResult r = exportWith();
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_TRUE(contains(r.err, "wrote " + output_)) << r.err;
    auto file = qmxread::readQmxFile(output_);
    ASSERT_EQ(file.roots.size(), 1u);
    EXPECT_EQ(file.roots[0].children.size(), 5u);
    EXPECT_EQ(listFolder(folder_ / "out"), Strings{"scene.qmx"});
    EXPECT_EQ(pref(), "v04") << "without --mode the remembered mode (3) is confirmed";
}

TEST_F(ToolExport, ATemplateThatIsNotAFileIsNamedInAWarning) {
    ASSERT_EQ(::mkfifo((hostDir_ + "/Pelmora/Pipe.qmt").c_str(), 0644), 0);
    ToolResult r = exportWith();
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_TRUE(contains(r.err, "warning: the template " + hostDir_ + "/Pelmora/Pipe.qmt is not a file (a FIFO)"))
        << r.err;
}

TEST_F(ToolExport, ModeAnswersTheDialogAndIsRemembered) {
    // Two layers: modes 0 and 1 see the active one only, 2 and 3 both.
    writeFile(drawing_, R"({"pelmoraDrawing": 1, "classes": ["None", "A", "B"], "layers": [
        {"name": "One", "objects": [{"type": "polygon", "class": "A", "points": [[0,0,0], [1000,0,0], [0,1000,0]]}]},
        {"name": "Two", "objects": [{"type": "polygon", "class": "B", "points": [[0,0,0], [1000,0,0], [0,1000,0]]}]}]})");
    ToolResult r = exportWith({"--mode", "1"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(pref(), "v02");
    EXPECT_EQ(qmxread::readQmxFile(output_).roots[0].children.size(), 1u);

    r = exportWith({"--force"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(qmxread::readQmxFile(output_).roots[0].children.size(), 1u) << "the remembered mode 1 again";

    r = exportWith({"--force", "--mode", "2"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(pref(), "v03");
    EXPECT_EQ(qmxread::readQmxFile(output_).roots[0].children.size(), 2u);
}

TEST_F(ToolExport, AnExistingFileIsReplacedOnlyWithForce) {
    writeFile(output_, "previous");
    ToolResult r = exportWith();
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_TRUE(contains(r.err, "--force")) << r.err;
    EXPECT_EQ(readFile(output_), "previous");
    EXPECT_FALSE(std::filesystem::exists(hostDir_ + "/Data")) << "nothing changed, not even the preferences";
    EXPECT_EQ(readFile(drawing_), kMinimalDrawing);

    r = exportWith({"--force"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_NO_THROW(qmxread::readQmxFile(output_));
}

TEST_F(ToolExport, AFailureMessageExitsOneWithItsText) {
    writeFile(drawing_, kLightsOnlyDrawing);
    ToolResult r = exportWith();
    EXPECT_EQ(r.status, kExitFailure);
    const std::string text = hostsim::EmulatedHost::indexedString(11011, 5);
    ASSERT_FALSE(text.empty());
    EXPECT_TRUE(contains(r.err, text)) << r.err;
    EXPECT_TRUE(contains(r.err, "11011/5")) << r.err;
    EXPECT_FALSE(std::filesystem::exists(output_));
}

TEST_F(ToolExport, TheChainCheckMessageIsPrinted) {
    writeFile(drawing_, R"({"pelmoraDrawing": 1, "currentItem": 3, "layers": [
        {"name": "L", "objects": [{"type": "polygon", "points": [[0,0,0], [1,0,0], [1,1,0]]}]}]})");
    ToolResult r = exportWith();
    EXPECT_EQ(r.status, kExitFailure);
    EXPECT_TRUE(contains(r.err, hostsim::EmulatedHost::indexedString(11011, 7))) << r.err;
}

TEST_F(ToolExport, AHostThatRefusesTheCommandExitsOne) {
    writeFile(drawing_, R"({"pelmoraDrawing": 1, "canRun": false, "layers": [
        {"name": "L", "objects": [{"type": "polygon", "points": [[0,0,0], [1,0,0], [1,1,0]]}]}]})");
    ToolResult r = exportWith();
    EXPECT_EQ(r.status, kExitFailure);
    EXPECT_TRUE(contains(r.err, "did not run")) << r.err;
    EXPECT_FALSE(std::filesystem::exists(output_));
}

TEST_F(ToolExport, CtrlCStopsAtTheNextContainerAndWritesNothing) {
    writeFile(output_, "previous");
    ToolOptions options;
    options.program = PELMORA_HOOKED_TOOL;
    options.environment["PELMORA_INTERRUPT_AT_POLL"] = "1";
    ToolResult r = exportWith({"--force"}, options);
    EXPECT_EQ(r.status, kExitCancelled) << r.err;
    EXPECT_TRUE(contains(r.err, "Ctrl+C")) << r.err;
    EXPECT_EQ(readFile(output_), "previous");
    EXPECT_EQ(listFolder(folder_ / "out"), Strings{"scene.qmx"});
    EXPECT_EQ(readFile(drawing_), kMinimalDrawing) << "no light records written back";
    // The shipped tool takes no test point from its environment.
    options.program.clear();
    r = exportWith({"--force"}, options);
    EXPECT_EQ(r.status, kExitOk) << r.err;
}

TEST_F(ToolExport, AFullDiskKeepsThePreviousFileAndLeavesNoTemporary) {
    // A scene far larger than the limit: the write fails part way.
    std::string big = R"({"pelmoraDrawing": 1, "layers": [{"name": "L", "objects": [)";
    for (int i = 0; i < 400; ++i) {
        if (i) big += ",";
        big += R"({"type": "polygon", "points": [[)" + std::to_string(i) + ",0,0], [" + std::to_string(i) +
               ",1000,0], [" + std::to_string(i) + ",1000,1000], [" + std::to_string(i) + ",0,1000]]}";
    }
    big += "]}]}";
    writeFile(drawing_, big);
    writeFile(output_, "previous");
    writeFile(hostDir_ + "/Data/Pelmora.pref", "v04");
    ToolOptions options;
    options.fileSizeLimit = 4096;
    ToolResult r = exportWith({"--force"}, options);
    EXPECT_EQ(r.status, kExitFailure) << r.err;
    EXPECT_TRUE(contains(r.err, hostsim::EmulatedHost::indexedString(11011, 2))) << r.err;
    EXPECT_EQ(readFile(output_), "previous");
    EXPECT_EQ(listFolder(folder_ / "out"), Strings{"scene.qmx"});
}

TEST_F(ToolExport, LightRecordsAreWrittenBackOnlyWhenTheyChange) {
    ToolResult r = exportWith();
    ASSERT_EQ(r.status, kExitOk) << r.err;
    hostsim::Drawing written = hostsim::loadDrawing(drawing_);
    const auto& records = written.layers.at(0).objects.at(1).records;
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(hostsim::charsFromTag(records[0].tag), "rDgN");
    EXPECT_EQ(records[0].bytes.at(128), 0xCE);  // 1998
    EXPECT_EQ(records[0].bytes.at(129), 0x07);
    EXPECT_EQ(listFolder(folder_.path().string()), (Strings{"drawing.json", "host", "out"})) << "no temporary left";

    const Identity before = identityOf(drawing_);
    r = exportWith({"--force"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_TRUE(identityOf(drawing_) == before) << "an unchanged drawing is not rewritten";
    auto file = qmxread::readQmxFile(output_);
    EXPECT_EQ(file.roots[0].children.at(3).id, 1999u) << "the same light id again";
}

TEST_F(ToolExport, AMalformedDocumentIsBadInputNamingThePath) {
    writeFile(drawing_, R"({"pelmoraDrawing": 1, "layers": [{"name": "L", "objects": [
        {"type": "polygon", "points": [[0,0,0], [1,0], [1,1,0]]}]}]})");
    ToolResult r = exportWith();
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_TRUE(contains(r.err, "layers[0].objects[0].points[1]")) << r.err;
    EXPECT_FALSE(std::filesystem::exists(output_));
    EXPECT_FALSE(std::filesystem::exists(hostDir_ + "/Data"));
}

TEST_F(ToolExport, UsageErrorsExitTwo) {
    EXPECT_EQ(runTool({"export"}).status, kExitUsage);
    EXPECT_EQ(exportWith({"--mode", "4"}).status, kExitUsage);
    EXPECT_EQ(runTool({"export", drawing_}).status, kExitUsage) << "-o is required";
    EXPECT_EQ(runTool({"export", folder_ / "missing.json", "-o", output_}).status, kExitUsage);
    EXPECT_EQ(runTool({"export", drawing_, "-o", output_, "--host-dir", drawing_ + "/host"}).status, kExitUsage)
        << "a host folder that cannot be made";
    EXPECT_EQ(runTool({"export", drawing_, "-o", folder_ / "out", "--host-dir", hostDir_}).status, kExitUsage)
        << "a folder as output";
    EXPECT_FALSE(std::filesystem::exists(output_));
    EXPECT_EQ(runTool({"export", drawing_, "-o", drawing_, "--host-dir", hostDir_, "--force"}).status, kExitUsage)
        << "the drawing as its own output";
    EXPECT_EQ(readFile(drawing_), kMinimalDrawing);
}

TEST_F(ToolExport, AHostFolderTooLongForTheHostsPathsIsBadInput) {
    // The host hands folders over in 260-byte buffers.
    std::string deep = folder_ / std::string(120, 'a');
    deep += "/" + std::string(120, 'b');
    std::filesystem::create_directories(deep);
    ToolResult r = runTool({"export", drawing_, "-o", output_, "--host-dir", deep});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_TRUE(contains(r.err, "too long")) << r.err;
    EXPECT_FALSE(std::filesystem::exists(output_));
}

TEST_F(ToolExport, TheDefaultHostFolderIsCreatedOnFirstUseAGivenOneMustExist) {
    ToolOptions options;
    options.environment["XDG_DATA_HOME"] = folder_ / "xdg";
    ToolResult r = runTool({"export", drawing_, "-o", output_, "--mode", "2"}, options);
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_TRUE(std::filesystem::is_directory(folder_ / "xdg/pelmora/Pelmora"));
    EXPECT_EQ(readFile(folder_ / "xdg/pelmora/Data/Pelmora.pref"), "v03");

    options.environment.clear();
    options.unsetEnvironment = {"XDG_DATA_HOME"};
    options.environment["HOME"] = folder_ / "home";
    r = runTool({"export", drawing_, "-o", output_, "--force"}, options);
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_TRUE(std::filesystem::is_directory(folder_ / "home/.local/share/pelmora/Data"));

    // A folder given with --host-dir must exist: a mistyped one is refused
    // with its path, not made empty and exported without templates.
    r = runTool({"export", drawing_, "-o", output_, "--force", "--mode", "1", "--host-dir", folder_ / "given/host"});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_TRUE(
        contains(r.err, "pelmora export: --host-dir: the host folder " + (folder_ / "given/host") + " does not exist"))
        << r.err;
    EXPECT_FALSE(std::filesystem::exists(folder_ / "given"));
    // One that exists gets the host's subfolders.
    std::filesystem::create_directories(folder_ / "given/host");
    r = runTool({"export", drawing_, "-o", output_, "--force", "--mode", "1", "--host-dir", folder_ / "given/host"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_TRUE(std::filesystem::is_directory(folder_ / "given/host/Pelmora"));
    EXPECT_EQ(readFile(folder_ / "given/host/Data/Pelmora.pref"), "v02");
}

TEST_F(ToolExport, TemplatesInTheHostFolderGiveMaterials) {
    writeFile(hostDir_ + "/Pelmora/Walls.qmt", "VELTRAMOX \"Walls\" Script File\nmotion create motionMaterial\nend\n");
    ToolResult r = exportWith();
    ASSERT_EQ(r.status, kExitOk) << r.err;
    const auto file = qmxread::readQmxFile(output_);
    const auto& mesh = file.roots[0].children.back();
    EXPECT_EQ(mesh.name, "Walls");
    ASSERT_EQ(mesh.motions.size(), 1u);
    EXPECT_EQ(mesh.motions[0].name, "motionMaterial");
}

TEST_F(ToolExport, ABrokenTemplateIsPrintedAndTheExportGoesOn) {
    writeFile(hostDir_ + "/Pelmora/Walls.qmt",
              "VELTRAMOX \"Walls\" Script File\nmotion create motionMaterial\ncolor 7\nend\n");
    ToolResult r = exportWith();
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_TRUE(contains(r.err, "Read QMT Error (Walls.qmt)")) << r.err;
}

}  // namespace
}  // namespace pelmora
