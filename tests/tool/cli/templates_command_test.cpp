// The template checker `pelmora templates`, run as a program on real folders.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "tests/support/template_test_support.h"

namespace pelmora {
namespace {

using nlohmann::json;
using test::TempFolder;

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string slurp(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string quoted(const std::string& s) { return "'" + s + "'"; }

ToolRun runTool(const std::string& arguments) {
    TempFolder scratch;
    const auto out = scratch.path() / "out.txt";
    const auto err = scratch.path() / "err.txt";
    const std::string command = quoted(PELMORA_TOOL) + " templates " + arguments + " >" + quoted(out.string()) + " 2>" +
                                quoted(err.string()) + " </dev/null";
    const int raw = std::system(command.c_str());
    ToolRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = slurp(out);
    run.err = slurp(err);
    return run;
}

const std::string kExampleHost = std::string(PELMORA_SOURCE_DIR) + "/examples/host";
const std::string kExampleDrawing = std::string(PELMORA_SOURCE_DIR) + "/examples/house.json";

const json* templateNamed(const json& report, const std::string& name) {
    for (const json& t : report["templates"]) {
        if (t["name"] == name) return &t;
    }
    return nullptr;
}

TEST(TemplatesCommand, ExampleFolderAsJson) {
    ToolRun run = runTool("--host-dir " + quoted(kExampleHost) + " --json");
    ASSERT_EQ(run.status, 0) << run.err;
    const json report = json::parse(run.out);
    ASSERT_EQ(report["templates"].size(), 4u);
    EXPECT_TRUE(report["skipped"].empty());

    const json* brick = templateNamed(report, "Brick");
    ASSERT_NE(brick, nullptr);
    const json& material = (*brick)["material"];
    EXPECT_EQ(material["kind"], 1);
    EXPECT_EQ(material["type"], 1);
    EXPECT_FALSE(material.contains("noise"));  // only what the template names
    ASSERT_EQ(material["layers"].size(), 4u);
    // 178 74 52: whole numbers in 1..255, scaled by 1/255.
    EXPECT_NEAR(material["layers"][0]["diffuse"][0].get<double>(), 178.0 / 255.0, 1e-6);
    EXPECT_NEAR(material["layers"][0]["diffuse"][2].get<double>(), 52.0 / 255.0, 1e-6);
    EXPECT_EQ(material["layers"][0]["specularpower"], 8.0);
    EXPECT_FALSE(material["layers"][0].contains("emissive"));
    EXPECT_EQ(material["layers"][1], json({{"diffuse", {0.0, 0.0, 0.0, 0.0}}}));
    EXPECT_TRUE((*brick)["textures"].empty());

    const json* wood = templateNamed(report, "Wood");
    ASSERT_NE(wood, nullptr);
    ASSERT_EQ((*wood)["textures"].size(), 1u);
    const json& boards = (*wood)["textures"][0];
    EXPECT_EQ(boards["fileName"], "oak_boards.jpg");
    EXPECT_NEAR(boards["size"][0].get<double>(), 1.2, 1e-6);
    EXPECT_NEAR(boards["size"][1].get<double>(), 0.2, 1e-6);
    EXPECT_EQ(boards["keepratio"], 0);
    EXPECT_FALSE(boards.contains("rotate"));

    const json* floor = templateNamed(report, "Floor");
    ASSERT_NE(floor, nullptr);
    ASSERT_EQ((*floor)["textures"].size(), 2u);
    EXPECT_EQ((*floor)["textures"][1]["fileName"], "floor_bump.jpg");
    EXPECT_EQ((*floor)["textures"][1]["apply"], 2);

    // Without a drawing the id table lines are listed as read, unresolved.
    const json& lines = report["idTable"]["lines"];
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], json({{"name", "Brick"}, {"value", 5001}}));
    EXPECT_FALSE(report.contains("ids"));
}

TEST(TemplatesCommand, DrawingResolvesIdTableNames) {
    TempFolder host;
    host.write("Pelmora/_id_table.txt", "Brick\t10\nRoof\t11\nAttic\t12\nBrick\t13\n");
    ToolRun run =
        runTool("--host-dir " + quoted(host.path().string()) + " --drawing " + quoted(kExampleDrawing) + " --json");
    ASSERT_EQ(run.status, 0) << run.err;
    const json report = json::parse(run.out);
    const json& lines = report["idTable"]["lines"];
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0]["class"], 2);  // classes: None, Brick, Glass, Wood, Floor, Roof
    EXPECT_EQ(lines[1]["class"], 6);
    EXPECT_TRUE(lines[2]["class"].is_null());
    const json expectedIds =
        json::array({{{"class", "Brick"}, {"index", 2}, {"id", 13}}, {{"class", "Roof"}, {"index", 6}, {"id", 11}}});
    EXPECT_EQ(report["ids"], expectedIds);
}

TEST(TemplatesCommand, SkippedFilesWithReasonsAndOneMessage) {
    TempFolder host;
    const std::string header = "VELTRAMOX Name Script File\n";
    host.write("Pelmora/Broken.qmt", header + "motion create motionMaterial\ncolor 7\nend\n");
    host.write("Pelmora/NoHeader.qmt", "# comment first\n" + header);
    host.write("Pelmora/Shader.qmt", header + "motion create simpleShader\nend\n");
    host.write("Pelmora/Fine.qmt", header + "motion create motionTexture\nrotate 90\nend\n");
    // Names of templates that are no files: each named too.
    ASSERT_EQ(::mkfifo((host.path() / "Pelmora/Pipe.qmt").c_str(), 0644), 0);
    std::filesystem::create_directory(host.path() / "Pelmora/Folder.qmt");
    ToolRun run = runTool("--host-dir " + quoted(host.path().string()) + " --json");
    ASSERT_EQ(run.status, 0) << run.err;
    const json report = json::parse(run.out);
    ASSERT_EQ(report["templates"].size(), 1u);
    EXPECT_EQ(report["templates"][0]["name"], "Fine");
    EXPECT_TRUE(report["templates"][0]["material"].is_null());
    EXPECT_EQ(report["templates"][0]["textures"][0], json({{"fileName", ""}, {"rotate", 90.0}}));
    const json expectedSkipped =
        json::array({{{"file", "Broken.qmt"}, {"reason", "Read QMT Error (Broken.qmt)"}},
                     {{"file", "Folder.qmt"}, {"reason", "not a file (a folder)"}},
                     {{"file", "NoHeader.qmt"}, {"reason", "header mismatch"}},
                     {{"file", "Pipe.qmt"}, {"reason", "not a file (a FIFO)"}},
                     {{"file", "Shader.qmt"}, {"reason", "unknown section type simpleShader"}}});
    EXPECT_EQ(report["skipped"], expectedSkipped);
    const ToolRun listed = runTool("--host-dir " + quoted(host.path().string()));
    EXPECT_NE(listed.out.find("Skipped: 5\n"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("  Pipe.qmt: not a file (a FIFO)\n"), std::string::npos) << listed.out;
    EXPECT_EQ(run.err, "Read QMT Error (Broken.qmt)\n");  // the message box, shown once
    EXPECT_FALSE(report["idTable"]["read"].get<bool>());
}

TEST(TemplatesCommand, TextListing) {
    ToolRun run = runTool("--host-dir " + quoted(kExampleHost) + " --drawing " + quoted(kExampleDrawing));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Templates in "), std::string::npos);
    EXPECT_NE(run.out.find("  Floor\n"), std::string::npos);
    EXPECT_NE(run.out.find("texture 2: fileName=\"floor_bump.jpg\""), std::string::npos);
    EXPECT_NE(run.out.find("\"Glass\" -> 5002 (class 3)"), std::string::npos);
    EXPECT_NE(run.out.find("Skipped: 0"), std::string::npos);
}

TEST(TemplatesCommand, BadInputIsAUsageError) {
    TempFolder host;
    EXPECT_EQ(runTool("--host-dir " + quoted((host.path() / "missing").string())).status, 2);
    host.write("bad.json", "{\"pelmoraDrawing\": 1, \"classes\": [\"None\", 5]}");
    ToolRun run = runTool("--host-dir " + quoted(host.path().string()) + " --drawing " +
                          quoted((host.path() / "bad.json").string()));
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("classes[1]"), std::string::npos) << run.err;
    EXPECT_EQ(runTool("").status, 2);  // --host-dir is required
}

}  // namespace
}  // namespace pelmora
