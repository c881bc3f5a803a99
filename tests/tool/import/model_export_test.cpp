// 3D model files exported through `pelmora export`: one mesh object per
// mesh, classes from material or mesh names, the model's axes and unit, its
// lights and first camera; files the importer cannot use are bad input.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <set>

#include <nlohmann/json.hpp>

#include "qmxread/qmx_reader.h"
#include "tests/support/temp_folder.h"
#include "tests/tool/common/tool_runner.h"

namespace pelmora {
namespace {

using exporttest::readFile;
using exporttest::runTool;
using exporttest::TempFolder;
using exporttest::ToolResult;
using exporttest::writeFile;
using Strings = std::vector<std::string>;
using namespace exporttest::outcome;

// A triangle of material Glass, a camera at (0, 1, 5) looking down -Z, a point
// light Lamp at (0, 3, 0) with colour (2, 1, 0.5) and a spot light Spot at
// (2, 3, 0) pointing down -Z.
constexpr const char* kGltf =
    R"GLTF({"asset": {"version": "2.0"}, "extensionsUsed": ["KHR_lights_punctual"], "extensions": {"KHR_lights_punctual": {"lights": [{"name": "Lamp", "type": "point", "color": [1.0, 0.5, 0.25], "intensity": 2.0}, {"name": "Spot", "type": "spot", "color": [1, 1, 1], "intensity": 1.0, "spot": {"innerConeAngle": 0.2, "outerConeAngle": 0.4}}]}}, "scene": 0, "scenes": [{"nodes": [0, 1, 2, 3]}], "nodes": [{"name": "Tri", "mesh": 0}, {"name": "Cam", "camera": 0, "translation": [0, 1, 5]}, {"name": "Lamp", "translation": [0, 3, 0], "extensions": {"KHR_lights_punctual": {"light": 0}}}, {"name": "Spot", "translation": [2, 3, 0], "extensions": {"KHR_lights_punctual": {"light": 1}}}], "cameras": [{"type": "perspective", "perspective": {"yfov": 0.8, "znear": 0.1, "aspectRatio": 1.0}}], "meshes": [{"name": "Tri", "primitives": [{"attributes": {"POSITION": 0}, "material": 0}]}], "materials": [{"name": "Glass"}], "accessors": [{"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3", "min": [0, 0, 0], "max": [1, 1, 0]}], "bufferViews": [{"buffer": 0, "byteLength": 36}], "buffers": [{"byteLength": 36, "uri": "data:application/octet-stream;base64,AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAA"}]})GLTF";

// Two materials in two groups: a quad of Brick and a triangle of Glass, a line
// (no surface) and vertices in millimetres.
constexpr const char* kObj =
    "mtllib parts.mtl\n"
    "v 0 0 0\nv 1000 0 0\nv 1000 2000 0\nv 0 2000 0\nv 0 0 3000\n"
    "g wall\nusemtl Brick\nf 1 2 3 4\n"
    "g pane\nusemtl Glass\nf 1 2 5\n"
    "l 1 5\n";
constexpr const char* kMtl = "newmtl Brick\nKd 0.8 0.3 0.2\nnewmtl Glass\nKd 0.9 0.9 1.0\n";

constexpr const char* kStl =
    "solid part\n"
    "facet normal 0 0 1\nouter loop\nvertex 1 2 3\nvertex 4 2 3\nvertex 1 5 3\nendloop\nendfacet\n"
    "endsolid part\n";

constexpr const char* kPly =
    "ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\nproperty float y\n"
    "property float z\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n"
    "0 0 0\n1 0 0\n1 1 0\n0 1 0\n4 0 1 2 3\n";

struct Vec {
    float x, y, z;
};

Vec translationOf(const qmxread::Node& node) {
    for (const auto& motion : node.motions)
        if (motion.name == "motionTranslate" && motion.payload) {
            const auto* field = motion.payload->find("translation");
            if (field && field->floats.size() == 3) return {field->floats[0], field->floats[1], field->floats[2]};
        }
    ADD_FAILURE() << "node " << node.id << " has no translation";
    return {0, 0, 0};
}

void expectNear(const Vec& v, float x, float y, float z) {
    EXPECT_NEAR(v.x, x, 1e-5);
    EXPECT_NEAR(v.y, y, 1e-5);
    EXPECT_NEAR(v.z, z, 1e-5);
}

class ModelExport : public ::testing::Test {
protected:
    void SetUp() override {
        hostDir_ = folder_ / "host";
        std::filesystem::create_directories(hostDir_);
        output_ = folder_ / "model.qmx";
    }
    ToolResult exportModel(const std::string& name, const std::string& content, Strings extra = {}) {
        writeFile(folder_ / name, content);
        Strings args{"export", folder_ / name, "-o", output_, "--host-dir", hostDir_, "--force"};
        args.insert(args.end(), extra.begin(), extra.end());
        return runTool(args);
    }
    qmxread::QmxFile read() { return qmxread::readQmxFile(output_); }
    static std::map<std::string, const qmxread::Node*> meshesByName(const qmxread::QmxFile& file) {
        std::map<std::string, const qmxread::Node*> meshes;
        for (const auto& child : file.roots.at(0).children)
            if (child.type == 8) meshes[child.name] = &child;
        return meshes;
    }

    TempFolder folder_;
    std::string hostDir_, output_;
};

TEST_F(ModelExport, GltfCameraLightsAndMaterialClass) {
    ToolResult r = exportModel("scene.gltf", kGltf);
    ASSERT_EQ(r.status, kExitOk) << r.err;
    auto file = read();
    const auto& children = file.roots.at(0).children;
    ASSERT_EQ(children.size(), 6u) << "camera target, camera, Lamp, Spot target, Spot, mesh";

    // Y-up model: a model point (x, y, z) reaches the scene file as (x, y, -z).
    EXPECT_EQ(children[1].id, 1001u);
    expectNear(translationOf(children[1]), 0, 1, -5);

    EXPECT_EQ(children[2].name, "Lamp");
    EXPECT_EQ(children[2].type, 4);
    expectNear(translationOf(children[2]), 0, 3, 0);

    EXPECT_EQ(children[3].name, "\x8F\xC6\x8E\xCB\x93\x5F>Spot");
    expectNear(translationOf(children[3]), 2, 3, 3);  // 3 m along the spot's direction
    EXPECT_EQ(children[4].name, "Spot");

    EXPECT_EQ(children[5].name, "Glass");
    ASSERT_TRUE(children[5].mesh.has_value());
    EXPECT_EQ(children[5].mesh->vertexCount, 3);
    EXPECT_EQ(children[5].mesh->polygonCount, 1);
}

TEST_F(ModelExport, GltfLightColourAndIntensityAreSeparated) {
    ASSERT_EQ(exportModel("scene.gltf", kGltf).status, kExitOk);
    auto file = read();
    const auto& lamp = file.roots.at(0).children.at(2);
    bool sawMaterial = false;
    for (const auto& motion : lamp.motions) {
        if (motion.name != "motionMaterial" || !motion.payload) continue;
        const auto* diffuse = motion.payload->find("diffuse");
        ASSERT_NE(diffuse, nullptr);
        ASSERT_GE(diffuse->floats.size(), 3u);
        EXPECT_FLOAT_EQ(diffuse->floats[0], 1.0f);
        EXPECT_FLOAT_EQ(diffuse->floats[1], 0.5f);
        EXPECT_FLOAT_EQ(diffuse->floats[2], 0.25f);
        sawMaterial = true;
    }
    EXPECT_TRUE(sawMaterial);
}

TEST_F(ModelExport, ObjMaterialsBecomeClassesAndTheUnitScales) {
    writeFile(folder_ / "parts.mtl", kMtl);
    ToolResult r = exportModel("parts.obj", kObj, {"--model-unit", "0.001"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    auto file = read();
    auto meshes = meshesByName(file);
    ASSERT_EQ(meshes.size(), 2u);
    ASSERT_TRUE(meshes.count("Brick") && meshes.count("Glass"));
    const auto& brick = *meshes["Brick"]->mesh;
    EXPECT_EQ(brick.polygonCount, 1);
    ASSERT_EQ(brick.polygons.at(0).indices.size(), 4u) << "faces are kept as the file gives them";
    const auto& glass = *meshes["Glass"]->mesh;
    EXPECT_EQ(glass.polygonCount, 1) << "the line has no surface";
    // The vertex (0, 0, 3000) mm of a Y-up model is (0, 0, -3) m in the scene file.
    bool found = false;
    for (const auto& v : glass.vertices)
        found = found || (std::fabs(v.x) < 1e-6 && std::fabs(v.y) < 1e-6 && std::fabs(v.z + 3.0f) < 1e-5);
    EXPECT_TRUE(found);
    EXPECT_EQ(file.roots.at(0).children.size(), 2u) << "no camera, no lights";
}

// The drawing holds names in its code page (1252): a character it lacks
// becomes '?', with one warning per name (ten listed, the rest counted), on
// stderr and in the summary, and the drawing still loads and exports.
TEST_F(ModelExport, NamesTheDrawingsCodePageCannotHoldGetQuestionMarksAndAWarning) {
    const std::string chair = "\xE6\xA4\x85\xE5\xAD\x90";  // 椅子
    const std::string furniture =
        "M\xC3\xB6"
        "bel";                             // Möbel: 1252 holds it
    const std::string omega = "\xCE\xA9";  // Ω
    Strings names{chair, furniture, omega + "-Glas"};
    for (int i = 1; i <= 10; ++i) names.push_back(omega + std::to_string(i));
    std::string obj = "mtllib names.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\n", mtl;
    for (const std::string& name : names) {
        obj += "g " + name + "\nusemtl " + name + "\nf 1 2 3\n";
        mtl += "newmtl " + name + "\nKd 0.5 0.5 0.5\n";
    }
    writeFile(folder_ / "names.mtl", mtl);
    const std::string warning = "the model's name \"" + chair +
                                "\" has characters code page 1252 (the drawing's) cannot hold; imported as \"??\"";

    ToolResult r = exportModel("names.obj", obj, {"--json", "--mode", "1"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_NE(r.err.find("pelmora export: warning: " + warning), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("imported as \"?-Glas\""), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("and 2 more of the model's names"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(furniture + "\" has"), std::string::npos) << "1252 holds it: " << r.err;
    const auto summary = nlohmann::json::parse(r.out);
    // Ten names and the count of the rest; the test's host folder has no
    // templates, but the model brings its own materials, so nothing is said of it.
    ASSERT_EQ(summary["warnings"].size(), 11u) << r.out;
    EXPECT_EQ(summary["warnings"][0], warning);
    EXPECT_EQ(r.err.find("has no templates"), std::string::npos) << r.err;
    std::set<std::string> meshNames;
    const auto file = read();
    for (const auto& node : file.roots.at(0).children) meshNames.insert(node.name);
    EXPECT_EQ(meshNames,
              (std::set<std::string>{"??",
                                     "M\xF6"
                                     "bel",
                                     "?-Glas", "?1", "?2", "?3", "?4", "?5", "?6", "?7", "?8", "?9", "?10"}));

    // The drawing document `import` writes holds the same names, in UTF-8.
    const std::string drawing = folder_ / "names.json";
    r = runTool({"import", folder_ / "names.obj", "-o", drawing});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_NE(r.err.find("pelmora import: warning: " + warning), std::string::npos) << r.err;
    const auto document = nlohmann::json::parse(readFile(drawing));
    EXPECT_EQ(document["classes"][1], "??");
    EXPECT_EQ(document["classes"][2], furniture);
    EXPECT_EQ(document["classes"][3], "?-Glas");
    EXPECT_EQ(document["layers"][0]["objects"][1]["name"], furniture);
}

TEST_F(ModelExport, StlIsZUpUnlessToldOtherwise) {
    ASSERT_EQ(exportModel("part.stl", kStl).status, kExitOk);
    auto file = read();
    auto meshes = meshesByName(file);
    ASSERT_EQ(meshes.size(), 1u);
    const auto& mesh = *meshes.begin()->second->mesh;
    ASSERT_EQ(mesh.vertexCount, 3);
    // Z-up: the model point (1, 2, 3) is written as (1, 3, 2).
    EXPECT_FLOAT_EQ(mesh.vertices[0].x, 1.0f);
    EXPECT_FLOAT_EQ(mesh.vertices[0].y, 3.0f);
    EXPECT_FLOAT_EQ(mesh.vertices[0].z, 2.0f);

    ASSERT_EQ(exportModel("part.stl", kStl, {"--model-up", "y"}).status, kExitOk);
    auto turned = read();
    const auto& mesh2 = *meshesByName(turned).begin()->second->mesh;
    EXPECT_FLOAT_EQ(mesh2.vertices[0].y, 2.0f);
    EXPECT_FLOAT_EQ(mesh2.vertices[0].z, -3.0f);
}

TEST_F(ModelExport, PlyQuadStaysAQuad) {
    ASSERT_EQ(exportModel("quad.ply", kPly).status, kExitOk);
    auto file = read();
    auto meshes = meshesByName(file);
    ASSERT_EQ(meshes.size(), 1u);
    EXPECT_EQ(meshes.begin()->second->mesh->vertexCount, 4);
    EXPECT_EQ(meshes.begin()->second->mesh->polygons.at(0).indices.size(), 4u);
}

TEST_F(ModelExport, TheModelFileIsNeverWrittenBack) {
    ASSERT_EQ(exportModel("scene.gltf", kGltf).status, kExitOk);
    EXPECT_EQ(readFile(folder_ / "scene.gltf"), kGltf);
}

TEST_F(ModelExport, UnusableFilesAreBadInput) {
    EXPECT_EQ(exportModel("broken.glb", "not a model at all").status, kExitUsage);
    EXPECT_EQ(exportModel("points.obj", "v 0 0 0\nv 1 0 0\np 1\np 2\n").status, kExitUsage);
    EXPECT_FALSE(std::filesystem::exists(output_));
}

TEST_F(ModelExport, AModelThatDebianShips) {
    const std::string model = "/usr/share/assimp/models/OBJ/spider.obj";
    if (!std::filesystem::exists(model)) GTEST_SKIP() << "assimp-testmodels is not installed";
    ToolResult r = runTool({"export", model, "-o", output_, "--host-dir", hostDir_});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    auto file = read();
    auto meshes = meshesByName(file);
    EXPECT_GE(meshes.size(), 2u);
    for (const auto& [name, node] : meshes) EXPECT_GT(node->mesh->polygonCount, 0) << name;
}

}  // namespace
}  // namespace pelmora
