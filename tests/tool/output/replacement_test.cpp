// Replacing a file keeps what the replaced file had: an export, a drawing
// written back and a convert keep the old file's mode, owner and group, and
// a symbolic link named as the file stays a link to the file now replaced.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/support/export_run_fixture.h"
#include "tests/support/temp_folder.h"
#include "tests/tool/common/tool_runner.h"

namespace pelmora {
namespace {

namespace fs = std::filesystem;
using exporttest::kMinimalDrawing;
using exporttest::readFile;
using exporttest::runTool;
using exporttest::TempFolder;
using exporttest::writeFile;

struct stat statOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
    return info;
}

TEST(Replacement, ExportWriteBackAndConvertKeepModeOwnerAndLinks) {
    TempFolder folder;
    fs::create_directories(folder / "real");
    // The output and the drawing are links into another folder, to files of
    // their own mode (and, when the test may set it, owner and group).
    writeFile(folder / "real/scene.qmx", "old scene");
    writeFile(folder / "real/drawing.json", kMinimalDrawing);
    chmod((folder / "real/scene.qmx").c_str(), 0600);
    chmod((folder / "real/drawing.json").c_str(), 0640);
    const bool privileged = geteuid() == 0;
    if (privileged) {
        ASSERT_EQ(chown((folder / "real/scene.qmx").c_str(), 1234, 2345), 0);
        ASSERT_EQ(chown((folder / "real/drawing.json").c_str(), 1234, 2345), 0);
    }
    fs::create_symlink("real/scene.qmx", folder / "scene.qmx");
    fs::create_symlink(fs::path(folder / "real/drawing.json"), folder / "drawing.json");

    const auto exported = runTool({"export", folder / "drawing.json", "-o", folder / "scene.qmx", "--force", "--mode",
                                   "2", "--host-dir", folder.path().string()});
    ASSERT_EQ(exported.status, 0) << exported.err;
    ASSERT_TRUE(fs::is_symlink(folder / "scene.qmx"));
    ASSERT_TRUE(fs::is_symlink(folder / "drawing.json"));
    EXPECT_EQ(readFile(folder / "real/scene.qmx").substr(0, 6), "BINARY");
    EXPECT_NE(readFile(folder / "real/drawing.json").find("rDgN"), std::string::npos)
        << "the write-back reached the target";
    EXPECT_EQ(statOf(folder / "real/scene.qmx").st_mode & 07777, 0600u);
    EXPECT_EQ(statOf(folder / "real/drawing.json").st_mode & 07777, 0640u);
    if (privileged) {
        EXPECT_EQ(statOf(folder / "real/scene.qmx").st_uid, 1234u);
        EXPECT_EQ(statOf(folder / "real/scene.qmx").st_gid, 2345u);
        EXPECT_EQ(statOf(folder / "real/drawing.json").st_uid, 1234u);
    }

    // Convert onto a 0600 file through a link.
    writeFile(folder / "real/ascii.qmx", "old");
    chmod((folder / "real/ascii.qmx").c_str(), 0600);
    fs::create_symlink("real/ascii.qmx", folder / "ascii.qmx");
    const auto converted = runTool({"convert", folder / "scene.qmx", folder / "ascii.qmx", "--ascii", "--force"});
    ASSERT_EQ(converted.status, 0) << converted.err;
    EXPECT_TRUE(fs::is_symlink(folder / "ascii.qmx"));
    EXPECT_EQ(readFile(folder / "real/ascii.qmx").substr(0, 7), "\"ASCII\"");
    EXPECT_EQ(statOf(folder / "real/ascii.qmx").st_mode & 07777, 0600u);
    // Nothing left beside the targets.
    EXPECT_EQ(exporttest::listFolder(folder / "real"),
              (std::vector<std::string>{"ascii.qmx", "drawing.json", "scene.qmx"}));
}

}  // namespace
}  // namespace pelmora
