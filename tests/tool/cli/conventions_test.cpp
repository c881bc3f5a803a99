// The conventions every command keeps: --force to replace an output, "-"
// refused as an output, reports on stderr in one form and results on stdout,
// the nearest name for a slip, numbers within their range, counts in the
// right number, and the help and completion naming the same options.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "tests/support/export_run_fixture.h"
#include "tests/support/temp_folder.h"
#include "tests/tool/common/tool_runner.h"

namespace pelmora {
namespace {

using exporttest::kMinimalDrawing;
using exporttest::readFile;
using exporttest::runTool;
using exporttest::TempFolder;
using exporttest::ToolOptions;
using exporttest::ToolResult;
using exporttest::writeFile;
using Strings = std::vector<std::string>;
using namespace exporttest::outcome;

constexpr const char* kTriangleObj = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";

class Conventions : public ::testing::Test {
protected:
    void SetUp() override {
        host_ = folder_ / "host";
        std::filesystem::create_directories(host_ + "/Pelmora");
        writeFile(folder_ / "drawing.json", kMinimalDrawing);
        writeFile(folder_ / "tri.obj", kTriangleObj);
        ASSERT_EQ(runTool({"export", folder_ / "drawing.json", "-o", folder_ / "scene.qmx", "--host-dir", host_,
                           "--mode", "2"})
                      .status,
                  kExitOk);
    }
    // Each command writing OUTPUT: its command line.
    std::vector<std::pair<std::string, Strings>> writers(const std::string& output) const {
        return {{"export", {"export", folder_ / "drawing.json", "-o", output, "--host-dir", host_, "--mode", "2"}},
                {"import", {"import", folder_ / "tri.obj", "-o", output}},
                {"convert", {"convert", folder_ / "scene.qmx", output, "--format", "qmx"}},
                {"preview", {"preview", folder_ / "scene.qmx", "-o", output}}};
    }
    // Every line of `err` not indented (the export's summary is) begins "pelmora COMMAND: ".
    static void expectOneForm(const std::string& err, const std::string& command) {
        std::istringstream lines(err);
        for (std::string line; std::getline(lines, line);) {
            if (line.empty() || line[0] == ' ') continue;
            EXPECT_EQ(line.rfind("pelmora " + command + ": ", 0), 0u) << command << ": " << line;
        }
    }
    TempFolder folder_;
    std::string host_;
};

TEST_F(Conventions, EveryOutputNeedsForceToBeReplacedAndNoneGoesToStandardOutput) {
    const std::string output = folder_ / "existing.out";
    for (const auto& [command, args] : writers(output)) {
        writeFile(output, "kept");
        ToolResult r = runTool(args);
        EXPECT_EQ(r.status, kExitUsage) << command << ": " << r.err;
        EXPECT_EQ(readFile(output), "kept") << command;
        EXPECT_TRUE(contains(r.err, "pelmora " + command + ": ")) << r.err;
        EXPECT_TRUE(contains(r.err, "exists; give --force to replace it")) << command << ": " << r.err;
        Strings forced = args;
        forced.push_back("--force");
        r = runTool(forced);
        EXPECT_EQ(r.status, kExitOk) << command << ": " << r.err;
        EXPECT_NE(readFile(output), "kept") << command;
        expectOneForm(r.err, command);
        EXPECT_EQ(r.out, "") << command << ": reports go to stderr";
    }
    ToolOptions here;
    here.workingFolder = folder_.path().string();
    for (const auto& [command, args] : writers("-")) {
        ToolResult r = runTool(args, here);
        EXPECT_EQ(r.status, kExitUsage) << command << ": " << r.err;
        EXPECT_TRUE(contains(r.err, "- is not supported")) << command << ": " << r.err;
        EXPECT_FALSE(std::filesystem::exists(folder_ / "-")) << command;
    }
    // The results of the reading commands go to stdout, and nothing else does.
    for (const Strings& args :
         {Strings{"inspect", folder_ / "scene.qmx"}, Strings{"formats"}, Strings{"templates", "--host-dir", host_}}) {
        ToolResult r = runTool(args);
        EXPECT_EQ(r.status, kExitOk) << args[0] << ": " << r.err;
        EXPECT_NE(r.out, "") << args[0];
        EXPECT_EQ(r.err, "") << args[0];
    }
}

TEST_F(Conventions, SlipsGetTheNearestNameAndNumbersStayInTheirRange) {
    const std::string drawing = folder_ / "drawing.json", out = folder_ / "out.qmx";
    const std::vector<std::pair<Strings, std::string>> refused{
        {{"exprot", drawing}, "pelmora: unknown command exprot; did you mean export?"},
        {{"export", drawing, "-o", out, "--forse"}, "pelmora export: unknown option --forse; did you mean --force?"},
        {{"inspect", folder_ / "scene.qmx", "--jsno"}, "pelmora inspect: unknown option --jsno; did you mean --json?"},
        {{"export", drawing, "-o", out, "--host-dir", folder_ / "hots"}, "the host folder " + folder_ / "hots"},
        {{"export", drawing, "-o", out, "--import-memory", "1073741824"}, "--import-memory: give a number of MiB"},
        {{"export", drawing, "-o", out, "--import-memory", "63"}, "from 64 to 65536; got 63"},
        {{"export", drawing, "-o", out, "--import-time", "0"}, "--import-time: give a number of seconds above 0"},
        {{"export", drawing, "-o", out, "--import-time", "1e9"}, "to 86400; got 1e9"},
        {{"export", drawing, drawing, "-o", folder_ / "", "-j", "65"}, "--jobs"},
        {{"export", drawing, "-o", out, "--mode", "4"}, "--mode"},
        {{}, "pelmora: give a command: export, import, inspect"},
    };
    for (const auto& [args, message] : refused) {
        const ToolResult r = runTool(args);
        EXPECT_EQ(r.status, kExitUsage) << message;
        EXPECT_TRUE(contains(r.err, message)) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(folder_ / "hots")) << "a mistyped host folder is not made";
    EXPECT_FALSE(std::filesystem::exists(out));
    // The bounds themselves are accepted.
    const ToolResult r = runTool({"export", drawing, "-o", out, "--host-dir", host_, "--mode", "2", "--dry-run",
                                  "--import-memory", "65536", "--import-time", "86400"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
}

TEST_F(Conventions, CountsUsagesFormatsAndCompletionSayEachThingOnceAndRight) {
    // "1 mesh", not "1 meshes", wherever a count is printed.
    writeFile(folder_ / "other.json", kMinimalDrawing);
    std::filesystem::create_directories(folder_ / "batch");
    ToolResult r = runTool({"export", folder_ / "drawing.json", folder_ / "other.json", "-o", folder_ / "batch/",
                            "--host-dir", host_, "--mode", "2"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(occurrences(r.err, "written (1 mesh, 1 polygon, 1 light,"), 2) << r.err;
    r = runTool({"import", folder_ / "tri.obj", "-o", folder_ / "tri.json"});
    EXPECT_TRUE(contains(r.err, "(1 object)")) << r.err;

    // Each format convert writes is listed once.
    r = runTool({"formats"});
    const std::string written = r.out.substr(r.out.find("convert writes"));
    for (const char* id : {"qmx", "glb", "gltf", "obj", "ply", "stl"}) {
        const std::regex listed("\\n  ([a-z0-9]+, )*" + std::string(id) + "\\b");
        EXPECT_EQ(std::distance(std::sregex_iterator(written.begin(), written.end(), listed), std::sregex_iterator()),
                  1)
            << id << " in\n"
            << written;
    }

    // Each command's usage names it as "pelmora COMMAND", and its completion
    // and the manual page know every option its help lists.
    const std::string completion = readFile(std::string(PELMORA_SOURCE_DIR) + "/tool/completion/pelmora.bash");
    const std::string manual = readFile(std::string(PELMORA_SOURCE_DIR) + "/docs/pelmora.1");
    for (const char* command : {"export", "import", "inspect", "convert", "templates", "preview"}) {
        r = runTool({command, "--help"});
        EXPECT_EQ(r.status, kExitOk) << command;
        EXPECT_TRUE(contains(r.out, std::string("Usage: pelmora ") + command + " ")) << r.out;
        const std::string line = completion.substr(completion.find(std::string("\n    ") + command + ")"));
        std::string options = " " + line.substr(0, line.find(";;")) + " ";
        for (char& c : options)
            if (c == '"' || c == '\n' || c == '=') c = ' ';
        const std::regex option("(^|[ ,])(--[a-z][a-z-]*)");
        for (auto it = std::sregex_iterator(r.out.begin(), r.out.end(), option); it != std::sregex_iterator(); ++it) {
            const std::string name = (*it)[2];
            EXPECT_TRUE(contains(options, " " + name + " ")) << command << " " << name << " is not completed";
            std::string escaped;
            for (char c : name) escaped += c == '-' ? std::string("\\-") : std::string(1, c);
            EXPECT_TRUE(name == "--help" || contains(manual, escaped)) << name << " is not in the manual page";
        }
    }
}

// Command lines refused before any work, each saying what is wrong and what
// to do, on stderr and, for a command with --json, with it as a JSON document
// on stdout; the same status either way, and nothing written.
TEST_F(Conventions, RefusedCommandLinesSayWhyAlsoAsJson) {
    const std::string drawing = folder_ / "drawing.json", scene = folder_ / "scene.qmx", out = folder_ / "out.qmx";
    const std::vector<std::pair<Strings, std::string>> refused{
        {{"import", folder_ / "tri.obj", "-o", folder_ / "nowhere/tri.json"},
         "pelmora import: the output folder " + folder_ / "nowhere" + " does not exist; create it"},
        {{"export", drawing, "-o", out, "--mode", "1", "--mode", "2"},
         "pelmora export: --mode was given 2 times (1, 2); give it once"},
        {{"convert", scene, folder_ / "y.glb", "--ascii"},
         "pelmora convert: glb is a binary format: --ascii applies to .qmx, .ply and .stl (.gltf writes glTF as text)"},
        {{"convert", scene, folder_ / "y.gltf", "--binary"}, "pelmora convert: gltf is a text format"},
        {{"convert", scene, folder_ / "y.fbx", "--ascii"}, "(--format fbxa writes FBX as text)"},
        {{"export", folder_ / "gone.json", "-o", out}, "pelmora export: " + folder_ / "gone.json" + ": no such file"},
        {{"export", drawing}, "pelmora export: give the QMX file to write with -o FILE.qmx"},
        {{"export", drawing, "-o", out, "--forse"}, "unknown option --forse; did you mean --force?"},
        {{"export", drawing, "-o", folder_ / "no/out.qmx", "--host-dir", host_}, "the output folder"},
        {{"exprot", drawing}, "pelmora: unknown command exprot; did you mean export?"},
        {{"templates", "--host-dir", folder_ / "hots"},
         "pelmora templates: host folder " + folder_ / "hots/ does not exist"},
        {{"inspect", folder_ / "gone.qmx"}, folder_ / "gone.qmx: no such file"},
    };
    for (const auto& [args, message] : refused) {
        ToolResult r = runTool(args);
        EXPECT_EQ(r.status, kExitUsage) << message << ": " << r.err;
        EXPECT_TRUE(contains(r.err, message)) << r.err;
        EXPECT_FALSE(contains(r.err, ".part")) << r.err;
        EXPECT_EQ(r.out, "") << message;
        // The commands that print JSON (and a command line naming none).
        if (args[0] == "import" || args[0] == "convert") continue;
        Strings json = args;
        json.push_back("--json");
        r = runTool(json);
        EXPECT_EQ(r.status, kExitUsage) << message << " with --json: " << r.err;
        const nlohmann::json document = nlohmann::json::parse(r.out, nullptr, false);
        ASSERT_TRUE(document.is_object()) << message << ": stdout is not one JSON document: " << r.out;
        EXPECT_EQ(document["status"], "bad-input") << r.out;
        EXPECT_EQ(document["exitStatus"], kExitUsage) << r.out;
        ASSERT_FALSE(document["errors"].empty()) << r.out;
        const std::string said = message.substr(message.find(": ") == std::string::npos ? 0 : message.find(": ") + 2);
        EXPECT_TRUE(contains(document["errors"][0].get<std::string>(), said)) << said << " in " << r.out;
    }
    for (const char* name : {"nowhere", "y.glb", "y.gltf", "y.fbx", "out.qmx", "no", "hots"})
        EXPECT_FALSE(std::filesystem::exists(folder_ / name)) << name;

    // Every exit status is told where the statuses are listed.
    const ToolResult help = runTool({"export", "--help"});
    EXPECT_TRUE(contains(help.out, "4 written but the drawing document not updated")) << help.out;
    const std::string manual = readFile(std::string(PELMORA_SOURCE_DIR) + "/docs/pelmora.1");
    for (const char* status : {".B 0\n", ".B 1\n", ".B 2\n", ".B 3\n", ".B 4\n"})
        EXPECT_TRUE(contains(manual, ".SH EXIT STATUS") &&
                    contains(manual.substr(manual.find(".SH EXIT STATUS")), status))
            << status;
}

// What the completion offers, run as bash runs it (its helpers stubbed to say
// what they were asked): every format id `formats` lists for --format, and as
// inputs the files each command reads.
TEST_F(Conventions, CompletionOffersEveryFormatAndTheInputsEachCommandReads) {
    const std::string listing = runTool({"formats"}).out;
    std::set<std::string> ids, extensions{"json"};
    std::istringstream lines(listing);
    bool reads = false, writes = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("export reads", 0) == 0 || line.rfind("convert writes", 0) == 0) {
            reads = line[0] == 'e';
            writes = !reads;
            continue;
        }
        std::istringstream words(line.size() > 53 && reads ? line.substr(53) : line);
        for (std::string word; words >> word;) {
            if (reads) extensions.insert(word.substr(word.rfind('.') + 1));  // mesh.xml is read as .xml
            if (!writes) continue;
            const bool more = word.back() == ',';
            if (more) word.pop_back();
            ids.insert(word);
            if (!more) break;
        }
    }
    ASSERT_GE(ids.size(), 12u) << listing;
    ASSERT_GE(extensions.size(), 40u) << listing;
    auto complete = [this](const std::string& line) {
        const std::string script =
            std::string("source '") + PELMORA_SOURCE_DIR +
            "/tool/completion/pelmora.bash'\n"
            "_init_completion() { words=(${COMP_LINE}); [[ $COMP_LINE == *' ' ]] && words+=(''); "
            "cword=$((${#words[@]} - 1)); cur=${words[cword]}; prev=${words[cword-1]}; }\n"
            "_filedir() { echo \"FILES $*\"; }\n"
            "COMP_LINE='" +
            line + "' _pelmora; printf '%s\\n' \"${COMPREPLY[@]}\"\n";
        writeFile(folder_ / "complete.sh", script);
        ToolOptions bash;
        bash.program = "/bin/bash";
        return runTool({folder_ / "complete.sh"}, bash).out;
    };
    std::set<std::string> offered;
    std::istringstream formatWords(complete("pelmora convert a.qmx b --format "));
    for (std::string word; formatWords >> word;) offered.insert(word);
    EXPECT_EQ(offered, ids);
    auto patternOf = [&complete](const std::string& line) {
        const std::string said = complete(line);
        std::set<std::string> pattern;
        std::istringstream parts(said.substr(said.find("FILES ") + 6));
        for (std::string part; std::getline(parts, part, '|');) pattern.insert(part.substr(0, part.find('\n')));
        return pattern;
    };
    EXPECT_EQ(patternOf("pelmora export "), extensions);
    std::set<std::string> models = extensions;
    models.erase("json");
    EXPECT_EQ(patternOf("pelmora import "), models);
    for (const char* reader : {"pelmora inspect ", "pelmora convert ", "pelmora preview "})
        EXPECT_EQ(patternOf(reader), std::set<std::string>{"qmx"}) << reader;
}

TEST_F(Conventions, AToolUnpackedWithItsTemplatesUsesThemWithoutHostDir) {
    // As the Windows ZIP unpacks: the program with a Pelmora folder beside it.
    const std::string unpacked = folder_ / "unpacked";
    std::filesystem::create_directories(unpacked + "/Pelmora");
    std::filesystem::copy_file(PELMORA_TOOL, unpacked + "/pelmora");
    writeFile(unpacked + "/Pelmora/Walls.qmt", "VELTRAMOX \"Walls\" Script File\nmotion create motionMaterial\nend\n");
    ToolOptions options;
    options.program = unpacked + "/pelmora";
    options.environment["XDG_DATA_HOME"] = folder_ / "xdg";
    const ToolResult r =
        runTool({"export", folder_ / "drawing.json", "-o", folder_ / "unpacked.qmx", "--mode", "2"}, options);
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_TRUE(contains(r.err, "1 with a template: Walls")) << r.err;
    EXPECT_EQ(readFile(unpacked + "/Data/Pelmora.pref"), "v03");
    EXPECT_FALSE(std::filesystem::exists(folder_ / "xdg")) << "the per-user folder is not used";
    EXPECT_FALSE(contains(r.err, "has no templates")) << r.err;

    // The per-user folder, made empty, has none: said, with what to do.
    ToolOptions perUser;
    perUser.environment["XDG_DATA_HOME"] = folder_ / "xdg";
    const ToolResult empty =
        runTool({"export", folder_ / "drawing.json", "-o", folder_ / "empty.qmx", "--mode", "2"}, perUser);
    EXPECT_EQ(empty.status, kExitOk) << empty.err;
    EXPECT_EQ(
        occurrences(empty.err, "warning: the host folder " + folder_ / "xdg/pelmora/ (the default) has no templates"),
        1)
        << empty.err;
    EXPECT_TRUE(contains(empty.err, "give --host-dir a folder that has them")) << empty.err;
}

}  // namespace
}  // namespace pelmora
