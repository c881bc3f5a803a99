// An export ended from outside (SIGTERM, SIGHUP) at the moments its staging
// files exist ends by that signal and leaves nothing behind; the leftovers of
// a run killed outright (kill -9) are taken away by the next export beside
// them, and only those whose process is gone and that carry the tool's mark.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>

#include "tests/support/temp_folder.h"
#include "tests/tool/common/big_drawing.h"
#include "tests/tool/common/tool_runner.h"
#include "tool/cli/commands.h"
#include "tool/export/export_run.h"
#include "tool/output/leftover_files.h"

namespace pelmora {
namespace {

using exporttest::listFolder;
using exporttest::readFile;
using exporttest::TempFolder;
using exporttest::writeFile;
using Strings = std::vector<std::string>;

constexpr const char* kPrevious = "the previous export, kept byte for byte";

// Runs the export in a child process that raises `signal` when the run
// reaches `moment`; gives the child's wait status.
int exportEndedAt(const tool::ExportRequest& request, const char* moment, int signal) {
    const pid_t child = ::fork();
    if (child == 0) {
        tool::ExportRequest ended = request;
        ended.atMoment = [moment, signal](const char* reached) {
            if (std::strcmp(reached, moment) == 0) ::raise(signal);
        };
        tool::runExportRequest(ended);
        ::_exit(100);  // not reached when the signal ended the run
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return status;
}

TEST(EndRequest, SigtermOrSighupWhileStagedLeavesNothingBehind) {
    TempFolder folder;
    const std::string drawingText = exporttest::bigDrawing(400, 12);
    writeFile(folder / "big.json", drawingText);
    std::filesystem::create_directories(folder / "out");
    std::filesystem::create_directories(folder / "host");
    tool::ExportRequest request;
    request.drawingPath = folder / "big.json";
    request.outputPath = folder / "out/scene.qmx";
    request.hostDir = folder / "host";
    request.mode = 2;
    request.force = true;
    request.quiet = true;
    // Once replaced, the output is the new file; the drawing's lock file goes
    // all the same.
    for (const char* moment : {"staged", "written", "replaced"}) {
        for (int signal : {SIGTERM, SIGHUP}) {
            const std::string when = std::string(strsignal(signal)) + " at " + moment;
            writeFile(folder / "out/scene.qmx", kPrevious);
            const int status = exportEndedAt(request, moment, signal);
            ASSERT_TRUE(WIFSIGNALED(status)) << when << ": exit status " << WEXITSTATUS(status);
            EXPECT_EQ(WTERMSIG(status), signal) << when;
            EXPECT_EQ(listFolder(folder / "out"), Strings{"scene.qmx"}) << when;
            EXPECT_EQ(listFolder(folder.path()), (Strings{"big.json", "host", "out"})) << when;
            EXPECT_EQ(readFile(folder / "out/scene.qmx") == kPrevious, std::strcmp(moment, "replaced") != 0) << when;
            EXPECT_EQ(readFile(folder / "big.json"), drawingText) << when;
        }
    }
}

// Runs `pelmora convert SCENE OUT --force` in a child process that raises
// `signal` the moment its staging file (or folder) is beside OUT; gives the
// child's wait status.
int convertEndedWhenStaged(const std::string& scene, const std::string& out, int signal) {
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 2);
        tool::ConvertOptions options;
        options.input = scene;
        options.output = out;
        options.force = true;
        options.atMoment = [signal](const char* reached) {
            if (std::strcmp(reached, "staged") == 0) ::raise(signal);
        };
        ::_exit(tool::runConvert(options));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return status;
}

// SIGTERM and SIGHUP end a convert as they end an export, taking its staging
// file away; Ctrl+C stops it before the replacement.
TEST(EndRequest, ConvertEndedWhileStagedLeavesThePreviousFileAlone) {
    TempFolder folder;
    writeFile(folder / "big.json", exporttest::bigDrawing(40, 12));
    std::filesystem::create_directories(folder / "host");
    std::filesystem::create_directories(folder / "out");
    const auto exported = exporttest::runTool(
        {"export", folder / "big.json", "-o", folder / "scene.qmx", "--host-dir", folder / "host", "--mode", "2"});
    ASSERT_EQ(exported.status, 0) << exported.err;
    for (const std::string output : {"scene.glb", "scene.gltf", "scene.qmx"}) {
        for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
            const std::string when = std::string(strsignal(signal)) + " converting to " + output;
            writeFile(folder / ("out/" + output), kPrevious);
            const int status = convertEndedWhenStaged(folder / "scene.qmx", folder / ("out/" + output), signal);
            if (signal == SIGINT) EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << when << ": " << status;
            else EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << when << ": " << status;
            EXPECT_EQ(listFolder(folder / "out"), Strings{output}) << when;
            EXPECT_EQ(readFile(folder / ("out/" + output)), kPrevious) << when;
        }
        std::filesystem::remove(folder / ("out/" + output));
    }
}

// The id of a process that has ended.
long goneProcess() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

// The mark the tool gives the temporary files it makes.
void markAsTheTools(const std::string& path) {
    ASSERT_EQ(::setxattr(path.c_str(), "user.pelmora.temporary", "pelmora", 7, 0), 0) << std::strerror(errno);
}

TEST(EndRequest, TheNextExportRemovesTheLeftoversOfKilledRunsOnly) {
    const std::string gone = std::to_string(goneProcess());
    const std::string alive = std::to_string(::getppid());
    // Each kind of leftover, named for the output or the drawing, with the tool's mark.
    const Strings leftovers{".scene.qmx." + gone + ".part",  ".scene.qmx." + gone + "-3.part.pelmora-tmp",
                            ".pelmora-" + gone + ".part",    ".pelmora-" + gone + "-1.part.pelmora-tmp",
                            ".house.json." + gone + ".part", ".house.json." + gone + "-2.part"};
    // Of a leftover's name, but not provably the tool's: no mark, or a folder. Named once.
    const Strings lookalikes{".scene.qmx." + gone + "-5.part", "house.json.new-" + gone + "-1",
                             ".scene.qmx." + gone + "-6.part"};
    // Another process's files, other names, and the user's own.
    const Strings kept{".scene.qmx." + alive + ".part",
                       "house.json.new-" + alive + "-2",
                       ".other.qmx." + gone + ".part",
                       ".scene.qmx.x" + gone + ".part",
                       "scene.qmx." + gone + ".part",
                       ".scene.qmx." + gone + ".part.bak",
                       "house.json.new-2024-12",
                       "scene.qmx.new-2023-11",
                       ".scene.qmx.999.part",
                       "house.json",
                       "scene.qmx"};
    for (const std::string& name : leftovers)
        EXPECT_EQ(tool::leftoverOwner(name, name.find("house") != std::string::npos ? "house.json" : "scene.qmx"),
                  std::stol(gone))
            << name;
    TempFolder folder;
    writeFile(folder / "probe", "");
    if (::setxattr((folder / "probe").c_str(), "user.probe", "", 0, 0) != 0)
        GTEST_SKIP() << "the test folder's file system keeps no extended attributes: " << std::strerror(errno);
    std::filesystem::remove(folder / "probe");
    for (const std::string& name : leftovers) {
        writeFile(folder / name, "left behind");
        markAsTheTools(folder / name);
    }
    writeFile(folder / lookalikes[0], "a user's file");
    writeFile(folder / lookalikes[1], "a user's file");
    std::filesystem::create_directories(folder / lookalikes[2]);
    markAsTheTools(folder / lookalikes[2]);  // a folder is never the tool's to remove, marked or not
    for (const std::string& name : kept)
        if (name != "house.json" && name != ".scene.qmx.999.part") writeFile(folder / name, "kept");
    std::filesystem::create_directories(folder / ".scene.qmx.999.part");
    writeFile(folder / ".scene.qmx.999.part/inside.txt", "kept");
    writeFile(folder / "house.json", exporttest::bigDrawing(2, 2));
    std::filesystem::create_directories(folder / "host");
    const auto result = exporttest::runTool(
        {"export", folder / "house.json", "-o", folder / "scene.qmx", "--host-dir", folder / "host", "--force"});
    EXPECT_EQ(result.status, 0) << result.err;
    Strings expected = kept;
    expected.insert(expected.end(), lookalikes.begin(), lookalikes.end());
    expected.push_back("host");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(listFolder(folder.path().string()), expected);
    EXPECT_EQ(readFile(folder / ".scene.qmx.999.part/inside.txt"), "kept");
    for (const std::string& name : lookalikes) {
        const std::size_t at = result.err.find(name);
        EXPECT_NE(at, std::string::npos) << name << " named: " << result.err;
        EXPECT_EQ(result.err.find(name, at + 1), std::string::npos) << name << " named once: " << result.err;
    }
}

}  // namespace
}  // namespace pelmora
