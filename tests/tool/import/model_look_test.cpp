// A model's look carried through the plug-in's templates: each material of
// the model becomes a template of its class, unless the host folder has one;
// `import --templates` writes them for editing; the written templates read
// back through the plug-in's own reader as they were made.
#include <gtest/gtest.h>

#include <stb/stb_image.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

#include <nlohmann/json.hpp>

#include "plugin/templates/template_library.h"
#include "tests/support/temp_folder.h"
#include "tests/tool/common/tool_runner.h"
#include "tool/import/material_template.h"

namespace pelmora {
namespace {

namespace fs = std::filesystem;
using exporttest::readFile;
using exporttest::runTool;
using exporttest::TempFolder;
using exporttest::ToolResult;
using exporttest::writeFile;
using Json = nlohmann::json;
using namespace exporttest::outcome;

const std::string kDuck = "/usr/share/assimp/models/Collada/duck.dae";

bool yellow(float r, float g, float b) { return r > 0.35f && g > 0.25f && r > 1.6f * b && g > 1.4f * b; }

// The share of the picture's pixels that are yellow.
double yellowShare(const std::string& png) {
    int width = 0, height = 0, channels = 0;
    std::unique_ptr<unsigned char, void (*)(void*)> pixels(stbi_load(png.c_str(), &width, &height, &channels, 3),
                                                           stbi_image_free);
    if (!pixels) return -1.0;
    long count = 0;
    for (long i = 0; i < static_cast<long>(width) * height; ++i) {
        const unsigned char* p = pixels.get() + i * 3;
        count += yellow(p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f) ? 1 : 0;
    }
    return static_cast<double>(count) / (static_cast<double>(width) * height);
}

std::set<std::string> filesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) names.insert(entry.path().string());
    return names;
}

Json baseColourOfOnlyMaterial(const std::string& gltf) {
    const Json out = Json::parse(readFile(gltf));
    EXPECT_EQ(out["materials"].size(), 1u);
    return out["materials"][0]["pbrMetallicRoughness"]["baseColorFactor"];
}

class ModelLook : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fs::exists(kDuck)) << "the assimp-testmodels package is missing"; }
    TempFolder folder_;
};

// The duck's colour is its UV-mapped picture, which the scene file cannot
// place: the picture is named in a warning, and its mean colour (yellow)
// becomes the material's, in the preview and in the converted glTF. The host
// folder's templates are not written.
TEST_F(ModelLook, TheDuckIsYellow) {
    const fs::path host = folder_ / "host";
    fs::create_directories(host / "Pelmora");
    const std::set<std::string> hostBefore = filesIn(host / "Pelmora");
    const std::string qmx = folder_ / "duck.qmx", png = folder_ / "duck.png", gltf = folder_ / "duck.gltf";
    const ToolResult r = runTool({"export", kDuck, "-o", qmx, "--host-dir", host});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(occurrences(r.err, "duckCM.tga"), 1) << r.err;
    EXPECT_EQ(filesIn(host / "Pelmora"), hostBefore);
    ASSERT_EQ(runTool({"preview", qmx, "-o", png}).status, kExitOk);
    EXPECT_GT(yellowShare(png), 0.05);
    ASSERT_EQ(runTool({"convert", qmx, gltf}).status, kExitOk);
    const Json colour = baseColourOfOnlyMaterial(gltf);
    EXPECT_TRUE(yellow(colour[0], colour[1], colour[2])) << colour;
}

// `import --templates` writes the duck's template; a second run keeps it
// unless --force; put in the host folder, the edited template wins over the
// model's material.
TEST_F(ModelLook, ImportWritesTemplatesAndTheHostsOwnWin) {
    const fs::path templates = folder_ / "templates";
    const std::string drawing = folder_ / "duck.json";
    ToolResult r = runTool({"import", kDuck, "-o", drawing, "--templates", templates});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    std::vector<fs::path> written;
    for (const auto& entry : fs::directory_iterator(templates)) written.push_back(entry.path());
    ASSERT_EQ(written.size(), 1u);
    ASSERT_EQ(written[0].extension(), ".qmt");
    const std::string blue =
        "VELTRAMOX \"Blue\" Script File\nmotion create motionMaterial\n    diffuse 0.0 0.0 1.0\nend\n";
    writeFile(written[0], blue);
    r = runTool({"import", kDuck, "-o", folder_ / "again.json", "--templates", templates});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_TRUE(contains(r.err, "kept")) << r.err;
    EXPECT_EQ(readFile(written[0]), blue);

    const fs::path host = folder_ / "host";
    fs::create_directories(host / "Pelmora");
    fs::copy_file(written[0], host / "Pelmora" / written[0].filename());
    const std::string qmx = folder_ / "duck.qmx", gltf = folder_ / "duck.gltf";
    ASSERT_EQ(runTool({"export", drawing, "-o", qmx, "--host-dir", host}).status, kExitOk);
    ASSERT_EQ(runTool({"convert", qmx, gltf}).status, kExitOk);
    EXPECT_EQ(baseColourOfOnlyMaterial(gltf), Json::array({0.0, 0.0, 1.0, 1.0}));
    ASSERT_EQ(runTool({"export", kDuck, "-o", qmx, "--host-dir", host, "--force"}).status, kExitOk);
    ASSERT_EQ(runTool({"convert", qmx, gltf, "--force"}).status, kExitOk);
    EXPECT_EQ(baseColourOfOnlyMaterial(gltf), Json::array({0.0, 0.0, 1.0, 1.0}));

    r = runTool({"import", kDuck, "-o", drawing, "--templates", templates, "--force"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_NE(readFile(written[0]), blue);
}

void expectColour(const ColorValue& read, const float (&made)[3], const char* what) {
    EXPECT_TRUE(read.given) << what;
    EXPECT_NEAR(read.red, made[0], 1e-6) << what;
    EXPECT_NEAR(read.green, made[1], 1e-6) << what;
    EXPECT_NEAR(read.blue, made[2], 1e-6) << what;
}

// Every value a made template holds reads back through the plug-in's reader,
// whole numbers (which the reader would take as 0 to 255 without a point),
// a clear material and a name with quotes among them.
TEST(MaterialTemplate, MadeTemplatesReadBackAsMade) {
    std::vector<tool::ImportedMaterial> sweep(4);
    sweep[0] = {"Plain", {0.8f, 0.5f, 0.25f}, {0.1f, 0.1f, 0.1f}, {0.5f, 0.5f, 0.5f}, {0, 0, 0}, 1.0f, 20.0f, 0.0f};
    sweep[1] = {"Glass \"clear\"", {1, 1, 1}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}, 0.25f, 120.0f, 1.52f};
    sweep[2] = {"Black", {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, 0.0f, 0.0f, 0.0f};
    sweep[3] = {"Glow", {0.123456f, 0.654321f, 0.999999f}, {0, 0, 0}, {0, 0, 0}, {2.0f / 3, 1, 0}, 1.0f, 5.5f, 0.0f};
    for (const tool::ImportedMaterial& made : sweep) {
        const std::string text = tool::materialTemplateText(made, 1252);
        TextBuffer buffer;
        ASSERT_TRUE(buffer.assign(text.data(), text.size()));
        TemplateLibrary library;
        LoadReport report;
        library.setLoadReport(&report);
        library.readTemplateText(buffer, "T.qmt");
        ASSERT_TRUE(report.skipped.empty()) << text;
        const MaterialTemplate* read = library.findTemplate("T");
        ASSERT_NE(read, nullptr) << text;
        ASSERT_TRUE(read->material.hasMaterial);
        const MaterialLayer& layer = read->material.layers[0];
        expectColour(layer.diffuse, made.diffuse, "diffuse");
        expectColour(layer.ambient, made.ambient, "ambient");
        expectColour(layer.specular, made.specular, "specular");
        expectColour(layer.emissive, made.emissive, "emissive");
        EXPECT_TRUE(layer.specularpower.given);
        EXPECT_NEAR(layer.specularpower.value, made.shininess, 1e-5);
        EXPECT_EQ(layer.transparent.given, made.opacity < 1.0f) << made.className;
        if (made.opacity < 1.0f) {
            const float clear[3] = {1 - made.opacity, 1 - made.opacity, 1 - made.opacity};
            expectColour(layer.transparent, clear, "transparent");
        }
        EXPECT_EQ(layer.refractionindex.given, made.refraction > 0.0f);
        if (made.refraction > 0.0f) { EXPECT_NEAR(layer.refractionindex.value, made.refraction, 1e-5); }
    }
    // Names that cannot be file names get no template file.
    for (const char* bad : {"a/b", "a\\b", "..", "", "tab\there"})
        EXPECT_FALSE(tool::templateFileName(bad, 1252).has_value()) << bad;
    EXPECT_EQ(tool::templateFileName("Caf\xE9", 1252), std::optional<std::string>("Caf\xC3\xA9.qmt"));
}

}  // namespace
}  // namespace pelmora
