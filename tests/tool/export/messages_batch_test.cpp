// Messages that say what is wrong, where and what to do, the small things
// users reach for (--version, formats), and batch export into a folder.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include <nlohmann/json.hpp>

#include "tests/support/export_run_fixture.h"
#include "tests/support/temp_folder.h"
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
namespace fs = std::filesystem;

using namespace exporttest::outcome;

constexpr const char* kTriangleObj = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";

class Messages : public ::testing::Test {
protected:
    void SetUp() override {
        hostDir_ = folder_ / "host";
        std::filesystem::create_directories(hostDir_);
        drawing_ = folder_ / "drawing.json";
        writeFile(drawing_, kMinimalDrawing);
        output_ = folder_ / "scene.qmx";
    }
    ToolResult exportFile(const std::string& input, Strings extra = {}) {
        Strings args{"export", input, "-o", output_, "--host-dir", hostDir_, "--force"};
        args.insert(args.end(), extra.begin(), extra.end());
        return runTool(args);
    }
    TempFolder folder_;
    std::string hostDir_, drawing_, output_;
};

TEST_F(Messages, BadOutputsAreRefusedBeforeTheExportWithTheirPath) {
    ToolResult r = runTool({"export", drawing_, "-o", "-", "--host-dir", hostDir_});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_TRUE(contains(r.err, "-o - is not supported")) << r.err;
    EXPECT_FALSE(std::filesystem::exists(folder_ / "-"));

    const std::string missing = folder_ / "no/such/folder";
    r = runTool({"export", drawing_, "-o", missing + "/scene.qmx", "--host-dir", hostDir_});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_TRUE(contains(r.err, "the output folder " + missing + " does not exist")) << r.err;
    EXPECT_FALSE(contains(r.err, "11011")) << "refused before the plug-in ran: " << r.err;
    EXPECT_FALSE(std::filesystem::exists(hostDir_ + "/Data")) << "nothing was prepared";

    r = runTool({"export", drawing_, "-o", folder_ / "scene.txt", "--host-dir", hostDir_});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(occurrences(r.err, "warning: the output name scene.txt does not end in .qmx"), 1) << r.err;
}

TEST_F(Messages, InputsThatAreNotWhatTheySeemSayWhatToDo) {
    writeFile(folder_ / "other.json", R"({"name": "a settings file"})");
    ToolResult r = exportFile(folder_ / "other.json");
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_TRUE(contains(r.err, "is not a Pelmora drawing document")) << r.err;
    EXPECT_TRUE(contains(r.err, "examples/house.json")) << r.err;
    EXPECT_TRUE(contains(r.err, "docs/drawing-format.md")) << r.err;

    writeFile(folder_ / "empty.json", " \n");
    r = exportFile(folder_ / "empty.json");
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_TRUE(contains(r.err, folder_ / "empty.json" + " is empty")) << r.err;

    writeFile(folder_ / "drawing.obj", kMinimalDrawing);
    r = exportFile(folder_ / "drawing.obj");
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_TRUE(contains(r.err, "holds JSON, not a obj model; a drawing document must be named *.json")) << r.err;

    writeFile(folder_ / "lines.obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nl 1 2\nl 2 3\n");
    r = exportFile(folder_ / "lines.obj");
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_TRUE(contains(r.err, "holds only lines or points")) << r.err;

    writeFile(folder_ / "tri.obj", kTriangleObj);
    r = exportFile(folder_ / "tri.obj", {"--model-unit", "0"});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_TRUE(contains(r.err, "--model-unit must be a positive length in metres")) << r.err;
    EXPECT_LT(r.err.size(), 400u) << r.err;

    // Mode 0 takes the selection, which a model file does not have.
    r = exportFile(folder_ / "tri.obj", {"--mode", "0"});
    EXPECT_EQ(r.status, kExitFailure);
    EXPECT_TRUE(contains(r.err, "a model file has no selection; give --mode 1")) << r.err;

    // A missing input is bad input for every command that reads one.
    for (const Strings& args :
         {Strings{"export", folder_ / "gone.json", "-o", output_}, Strings{"inspect", folder_ / "gone.qmx"},
          Strings{"convert", folder_ / "gone.qmx", folder_ / "out.glb"}}) {
        r = runTool(args);
        EXPECT_EQ(r.status, kExitUsage) << args[0];
        EXPECT_TRUE(contains(r.err, "no such file") || contains(r.err, "does not exist")) << args[0] << ": " << r.err;
    }
}

// A named pipe, a device, a socket or a folder given as an input is refused
// by name before anything opens it: opening a pipe would wait for a writer.
TEST_F(Messages, InputsThatAreNotFilesAreRefusedUnopened) {
    const std::string pipe = folder_ / "input.fifo";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::string socketPath = folder_ / "input.sock";
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::vector<std::pair<std::string, std::string>> inputs{{pipe, "is a named pipe"},
                                                                  {"/dev/zero", "is a device"},
                                                                  {socketPath, "is a socket"},
                                                                  {hostDir_, "is a folder"}};
    fs::create_directories(hostDir_);
    for (const auto& [input, said] : inputs) {
        for (const Strings& args :
             {Strings{"export", input, "-o", output_, "--import-time", "2"},
              Strings{"import", input, "-o", folder_ / "d.json"}, Strings{"inspect", input},
              Strings{"convert", input, folder_ / "out.qmx"}, Strings{"preview", input, "-o", folder_ / "p.png"},
              Strings{"templates", "--host-dir", hostDir_, "--drawing", input}}) {
            const ToolResult r = runTool(args);
            EXPECT_EQ(r.status, kExitUsage) << args[0] << " " << input;
            EXPECT_TRUE(contains(r.err, input + " " + said)) << args[0] << ": " << r.err;
        }
    }
    ::close(listener);
    EXPECT_EQ(listFolder(folder_.path().string()).size(), 4u) << "nothing written beside the inputs";
}

// An output that is there and is no regular file is never replaced, --force
// or not: a pipe, a socket, a link to a pipe; nothing is made beside it.
TEST_F(Messages, OutputsThatAreNotFilesAreNeverReplaced) {
    fs::create_directories(hostDir_);
    ASSERT_EQ(exportFile(drawing_).status, kExitOk);
    const std::string pipe = folder_ / "out.fifo";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    fs::create_symlink(pipe, folder_ / "link.qmx");
    const std::string socketPath = folder_ / "out.sock";
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const Strings before = listFolder(folder_.path().string());
    const std::vector<std::pair<std::string, std::string>> outputs{{pipe, "is a named pipe (FIFO)"},
                                                                   {folder_ / "link.qmx", "is a named pipe (FIFO)"},
                                                                   {socketPath, "is a socket"}};
    for (const auto& [output, said] : outputs)
        for (const Strings& command : {Strings{"export", drawing_, "-o", output, "--host-dir", hostDir_},
                                       Strings{"convert", output_, output}, Strings{"preview", output_, "-o", output}})
            for (const bool force : {false, true}) {
                Strings args = command;
                if (force) args.push_back("--force");
                const ToolResult r = runTool(args);
                EXPECT_EQ(r.status, kExitUsage) << args[0] << " " << output << " " << force << ": " << r.err;
                EXPECT_TRUE(contains(r.err, output + " " + said)) << args[0] << ": " << r.err;
            }
    ::close(listener);
    struct stat info {};
    ASSERT_EQ(::stat(pipe.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode)) << "the pipe is still a pipe";
    EXPECT_EQ(listFolder(folder_.path().string()), before) << "nothing written beside the outputs";
}

// A document from a newer tool is named as such, not as one without its
// version; a name holding a NUL character is warned about where it is.
TEST_F(Messages, DrawingVersionsAndNulNamesAreSaidAsTheyAre) {
    const std::string minimal = kMinimalDrawing;
    const std::string versionOne = "\"pelmoraDrawing\": 1";
    for (const std::string version : {"0", "2", "99", "-1"}) {
        std::string text = minimal;
        text.replace(text.find(versionOne), versionOne.size(), "\"pelmoraDrawing\": " + version);
        writeFile(drawing_, text);
        const ToolResult r = exportFile(drawing_);
        EXPECT_EQ(r.status, kExitUsage) << version;
        EXPECT_TRUE(contains(
            r.err, "at pelmoraDrawing: format version " + version + " is not supported; the versions known are 1"))
            << r.err;
    }
    writeFile(drawing_, "{\"unitsPerInch\": 25.4}");
    EXPECT_TRUE(contains(exportFile(drawing_).err, "it has no \"pelmoraDrawing\" format version"));

    std::string named = minimal;
    auto replace = [&named](const std::string& from, const std::string& to) {
        named.replace(named.find(from), from.size(), to);
    };
    replace("\"Sun\"", "\"Sun\\u0000 east\"");
    replace("\"Walls\"]", "\"Walls\\u0000A\", \"Walls\\u0000B\"]");
    replace("\"class\": \"Walls\"", "\"class\": \"Walls\\u0000B\"");
    writeFile(drawing_, named);
    const ToolResult r = exportFile(drawing_);
    EXPECT_EQ(r.status, kExitOk) << r.err;
    for (const char* at : {"classes[1]", "classes[2]", "layers[0].objects[0].class", "layers[0].objects[1].name"})
        EXPECT_EQ(occurrences(r.err, std::string("at ") + at + ": the text holds a NUL character"), 1) << at << r.err;
    EXPECT_EQ(occurrences(r.err, "NUL character"), 4) << r.err;
}

TEST_F(Messages, VersionAndFormats) {
    ToolResult r = runTool({"--version"});
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_TRUE(contains(r.out, "pelmora ")) << r.out;
    EXPECT_TRUE(contains(r.out, "plug-in module: ")) << r.out;
    EXPECT_TRUE(contains(r.out, "Assimp: 5.")) << r.out;

    r = runTool({"formats"});
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_TRUE(contains(r.out, "Wavefront Object Importer")) << r.out;
    EXPECT_TRUE(contains(r.out, "glb, gltf")) << r.out;
}

TEST_F(Messages, BatchExportsEachInputIntoTheFolderAndGivesTheWorstStatus) {
    const std::string out = folder_ / "out";
    std::filesystem::create_directories(out);
    writeFile(folder_ / "a.json", kMinimalDrawing);
    writeFile(folder_ / "b.obj", kTriangleObj);
    writeFile(folder_ / "c.json", R"({"pelmoraDrawing": 1, "layers": [{"name": "L", "objects": [{"type": 7}]}],)");
    writeFile(out + "/c.qmx", "kept");

    ToolResult r = runTool({"export", folder_ / "a.json", folder_ / "b.obj", folder_ / "c.json", "-o", out + "/",
                            "--host-dir", hostDir_, "--mode", "1", "-j", "2", "--force"});
    EXPECT_EQ(r.status, kExitUsage) << "the broken document is the worst: " << r.err;
    EXPECT_TRUE(contains(r.err, folder_ / "a.json" + " -> " + out + "/a.qmx: written (1 mesh, ")) << r.err;
    EXPECT_TRUE(contains(r.err, folder_ / "b.obj" + " -> " + out + "/b.qmx: written")) << r.err;
    EXPECT_TRUE(contains(r.err, out + "/c.qmx: bad-input")) << r.err;
    EXPECT_EQ(listFolder(out), (Strings{"a.qmx", "b.qmx", "c.qmx"}));
    EXPECT_EQ(readFile(out + "/c.qmx"), "kept") << "a failure never damages a file";

    // --json: one object with every export's summary.
    r = runTool({"export", folder_ / "a.json", folder_ / "b.obj", "--output-dir", out, "--host-dir", hostDir_, "--mode",
                 "1", "--force", "--json"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    Json all = Json::parse(r.out);
    ASSERT_EQ(all["exports"].size(), 2u);
    EXPECT_EQ(all["exports"][0]["status"], "written");
    EXPECT_EQ(all["exports"][1]["output"], out + "/b.qmx");

    // Two inputs that would share one output, and a folder that is not there.
    writeFile(folder_ / "a.obj", kTriangleObj);
    r = runTool({"export", folder_ / "a.json", folder_ / "a.obj", "-o", out + "/"});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_TRUE(contains(r.err, "would both be written to " + out + "/a.qmx")) << r.err;
}

// A folder that is not there is made, as -o DIR/ says it is one to write
// into; an input that is missing is one failed export, and the others go on.
TEST_F(Messages, BatchMakesItsFolderAndExportsTheInputsThatAreThere) {
    writeFile(folder_ / "a.json", kMinimalDrawing);
    writeFile(folder_ / "b.obj", kTriangleObj);
    const std::string made = folder_ / "made/here";
    const Strings batch{"export",
                        folder_ / "a.json",
                        folder_ / "gone.json",
                        folder_ / "b.obj",
                        "-o",
                        made + "/",
                        "--host-dir",
                        hostDir_,
                        "--mode",
                        "1"};
    Strings dryRun = batch;
    dryRun.push_back("--dry-run");
    ToolResult r = runTool(dryRun);
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_TRUE(contains(r.err, "a dry run makes nothing")) << r.err;
    EXPECT_FALSE(fs::exists(folder_ / "made")) << "a dry run makes no folder";
    r = runTool(batch);
    EXPECT_EQ(r.status, kExitUsage) << "as for a broken input: " << r.err;
    EXPECT_TRUE(contains(r.err, "created the folder " + made)) << r.err;
    EXPECT_TRUE(contains(r.err, folder_ / "gone.json" + " -> " + made + "/gone.qmx: bad-input\n    " +
                                    folder_ / "gone.json: no such file"))
        << r.err;
    EXPECT_TRUE(contains(r.err, made + "/b.qmx: written")) << r.err;
    EXPECT_EQ(listFolder(made), (Strings{"a.qmx", "b.qmx"}));
    Strings json = batch;
    json.insert(json.end(), {"--force", "--json"});
    r = runTool(json);
    EXPECT_EQ(r.status, kExitUsage);
    const Json all = Json::parse(r.out);
    EXPECT_EQ(all["exitStatus"], kExitUsage);
    ASSERT_EQ(all["exports"].size(), 3u);
    EXPECT_EQ(all["exports"][0]["status"], "written");
    EXPECT_EQ(all["exports"][1]["status"], "bad-input");
    EXPECT_EQ(all["exports"][1]["errors"][0], folder_ / "gone.json" + ": no such file");
    EXPECT_EQ(all["exports"][2]["status"], "written");
}

}  // namespace
}  // namespace pelmora
