// `pelmora convert` to the formats viewers open, read back with Assimp and
// compared with what `pelmora inspect --json` says of the same QMX file: the
// sample house and a model export, in glTF with its camera and lights, and in
// OBJ, PLY and STL.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <tuple>

#include <assimp/material.h>
#include <assimp/scene.h>
#include <assimp/Importer.hpp>
#include <nlohmann/json.hpp>

#include "tests/support/temp_folder.h"
#include "tests/tool/common/tool_runner.h"

namespace pelmora {
namespace {

using exporttest::runTool;
using exporttest::TempFolder;
using exporttest::ToolResult;
using exporttest::writeFile;
using Json = nlohmann::json;
using Strings = std::vector<std::string>;

using namespace exporttest::outcome;

Json inspect(const std::string& qmx) {
    ToolResult r = runTool({"inspect", qmx, "--json", "--geometry"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    return Json::parse(r.out);
}

std::vector<Json> childrenOfType(const Json& tree, int type) {
    std::vector<Json> out;
    for (const Json& node : tree["root"]["children"])
        if (node["type"] == type) out.push_back(node);
    return out;
}

const Json* motion(const Json& node, const std::string& name) {
    for (const Json& m : node["motions"])
        if (m["name"] == name) return &m;
    return nullptr;
}

aiVector3D translation(const Json& node) {
    const Json& t = (*motion(node, "motionTranslate"))["payload"]["translation"];
    // The QMX axes turned right-handed: the third one reversed.
    return {t[0].get<float>(), t[1].get<float>(), -t[2].get<float>()};
}

const Json& nodeWithId(const Json& tree, long id) {
    for (const Json& node : tree["root"]["children"])
        if (node["id"] == id) return node;
    throw std::runtime_error("no node " + std::to_string(id));
}

aiMatrix4x4 globalTransform(const aiNode* node) {
    aiMatrix4x4 m;
    for (; node; node = node->mParent) m = node->mTransformation * m;
    return m;
}

void expectNear(const aiVector3D& a, const aiVector3D& b, float tolerance, const std::string& what) {
    EXPECT_NEAR(a.x, b.x, tolerance) << what;
    EXPECT_NEAR(a.y, b.y, tolerance) << what;
    EXPECT_NEAR(a.z, b.z, tolerance) << what;
}

// Meshes, vertex and face counts and material colours of the re-imported file
// against the QMX meshes. glTF keeps one vertex per distinct position (its
// writer joins identical ones) and triangles; OBJ keeps the polygons.
void expectMeshesAgree(const aiScene& scene, const Json& tree, bool gltf, const std::string& format) {
    std::vector<Json> meshes = childrenOfType(tree, 8);
    ASSERT_EQ(scene.mNumMeshes, meshes.size()) << format;
    for (std::size_t i = 0; i < meshes.size(); ++i) {
        const aiMesh& mesh = *scene.mMeshes[i];
        const Json& source = meshes[i]["mesh"];
        long triangles = 0;
        for (const Json& polygon : source["polygons"]) triangles += static_cast<long>(polygon.size()) - 2;
        EXPECT_EQ(std::string(mesh.mName.C_Str()), meshes[i]["name"].get<std::string>()) << format;
        EXPECT_EQ(static_cast<long>(mesh.mNumFaces), gltf ? triangles : source["polygonCount"].get<long>())
            << format << " " << mesh.mName.C_Str();
        // Every vertex where the QMX file has one (third axis reversed).
        std::set<std::tuple<float, float, float>> positions, imported;
        for (const Json& v : source["vertices"])
            positions.insert({v[0].get<float>(), v[1].get<float>(), -v[2].get<float>()});
        for (unsigned k = 0; k < mesh.mNumVertices; ++k)
            imported.insert({mesh.mVertices[k].x, mesh.mVertices[k].y, mesh.mVertices[k].z});
        EXPECT_EQ(imported, positions) << format << " " << mesh.mName.C_Str();
        // glTF keeps a vertex per position and normal: hard edges split them.
        if (gltf) {
            EXPECT_GE(mesh.mNumVertices, positions.size()) << format;
            EXPECT_TRUE(mesh.HasNormals()) << format;
        }
        const aiMaterial& material = *scene.mMaterials[mesh.mMaterialIndex];
        aiColor4D diffuse;
        if (const Json* m = motion(meshes[i], "motionMaterial")) {
            ASSERT_EQ(material.Get(AI_MATKEY_COLOR_DIFFUSE, diffuse), AI_SUCCESS) << format;
            const Json& d = (*m)["payload"]["diffuse"];
            EXPECT_NEAR(diffuse.r, d[0].get<float>(), 1e-5) << format << " " << mesh.mName.C_Str();
            EXPECT_NEAR(diffuse.g, d[1].get<float>(), 1e-5) << format;
            EXPECT_NEAR(diffuse.b, d[2].get<float>(), 1e-5) << format;
        }
    }
}

class ConvertToModel : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::copy(std::string(PELMORA_SOURCE_DIR) + "/examples/host", folder_ / "host",
                              std::filesystem::copy_options::recursive);
        std::filesystem::copy_file(std::string(PELMORA_SOURCE_DIR) + "/examples/house.json", folder_ / "house.json");
        house_ = folder_ / "house.qmx";
        ToolResult r =
            runTool({"export", folder_ / "house.json", "-o", house_, "--host-dir", folder_ / "host", "--mode", "3"});
        ASSERT_EQ(r.status, kExitOk) << r.err;
    }
    TempFolder folder_;
    std::string house_;
};

TEST_F(ConvertToModel, SampleHouseAsGlbAgreesWithInspect) {
    const Json tree = inspect(house_);
    const std::string glb = folder_ / "house.glb";
    ToolResult r = runTool({"convert", house_, glb});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_TRUE(
        contains(r.err, "wrote " + glb + " (glTF binary): 5 meshes, 334 vertices, 222 polygons, camera, 5 lights"))
        << r.err;

    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(glb, 0);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    expectMeshesAgree(*scene, tree, true, "glb");

    // The camera stands at the eye and looks at the target, with the view angle.
    ASSERT_EQ(scene->mNumCameras, 1u);
    const Json camera = childrenOfType(tree, 2).at(0);
    const aiVector3D eye = translation(camera);
    const aiVector3D target = translation(nodeWithId(tree, camera["targetId1"].get<long>()));
    const aiCamera& imported = *scene->mCameras[0];
    const aiNode* cameraNode = scene->mRootNode->FindNode(imported.mName);
    ASSERT_NE(cameraNode, nullptr);
    const aiMatrix4x4 placement = globalTransform(cameraNode);
    expectNear(placement * imported.mPosition, eye, 1e-4f, "camera position");
    aiVector3D look = aiMatrix3x3(placement) * imported.mLookAt;
    aiVector3D expectedLook = target - eye;
    expectNear(look.Normalize(), expectedLook.Normalize(), 1e-4f, "camera direction");
    const float viewAngle = (*motion(camera, "motionCameraParameter"))["payload"]["viewAngle"].get<float>();
    // The view angle spans half the 640 x 480 picture's diagonal; glTF keeps
    // the vertical angle and the aspect, Assimp reads them back as the
    // vertical angle times the aspect.
    const double yfov = 2.0 * std::atan(std::tan(viewAngle) * 480.0 / 800.0);
    EXPECT_NEAR(imported.mHorizontalFOV, yfov * (640.0 / 480.0), 1e-4);
    EXPECT_NEAR(imported.mAspect, 640.0 / 480.0, 1e-5);

    // Every light, with its kind, colour and place.
    std::vector<Json> lights = childrenOfType(tree, 4);
    ASSERT_EQ(scene->mNumLights, lights.size());
    for (const Json& light : lights) {
        const aiLight* found = nullptr;
        for (unsigned i = 0; i < scene->mNumLights; ++i)
            if (light["name"] == scene->mLights[i]->mName.C_Str()) found = scene->mLights[i];
        ASSERT_NE(found, nullptr) << light["name"];
        const Json& parameters = (*motion(light, "motionLightParameter"))["payload"];
        const int kind = parameters["lightType"];
        EXPECT_EQ(found->mType, kind == 1   ? aiLightSource_DIRECTIONAL
                                : kind == 3 ? aiLightSource_SPOT
                                            : aiLightSource_POINT);
        const Json& colour = (*motion(light, "motionMaterial"))["payload"]["diffuse"];
        // glTF lights are in candela (lux for a sun): 1000 per unit of host
        // intensity (docs/light-model.md), which the importer folds into the colour.
        const float intensity = parameters["intensity"].get<float>() / 1.3333333f * 1000.0f;
        EXPECT_NEAR(found->mColorDiffuse.r, colour[0].get<float>() * intensity, 1e-4 * intensity) << light["name"];
        EXPECT_NEAR(found->mColorDiffuse.b, colour[2].get<float>() * intensity, 1e-4 * intensity) << light["name"];
        const aiNode* node = scene->mRootNode->FindNode(found->mName);
        ASSERT_NE(node, nullptr);
        expectNear(globalTransform(node) * aiVector3D(0, 0, 0), translation(light), 1e-4f, "light position");
    }
}

TEST_F(ConvertToModel, SampleHouseAsObjPlyAndStl) {
    const Json tree = inspect(house_);
    for (const std::string name : {"house.obj", "house.ply", "house.stl", "house.gltf"}) {
        const std::string path = folder_ / name;
        ToolResult r = runTool({"convert", house_, path});
        ASSERT_EQ(r.status, kExitOk) << name << ": " << r.err;
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(path, 0);
        ASSERT_NE(scene, nullptr) << name << ": " << importer.GetErrorString();
        if (name == "house.obj" || name == "house.gltf") {
            expectMeshesAgree(*scene, tree, name == "house.gltf", name);
            continue;
        }
        // PLY and STL hold geometry only: one mesh of every polygon.
        long faces = 0, expected = 0;
        for (unsigned i = 0; i < scene->mNumMeshes; ++i) faces += scene->mMeshes[i]->mNumFaces;
        for (const Json& mesh : childrenOfType(tree, 8))
            expected += name == "house.ply" ? mesh["mesh"]["polygonCount"].get<long>() : [&] {
                long triangles = 0;
                for (const Json& polygon : mesh["mesh"]["polygons"]) triangles += static_cast<long>(polygon.size()) - 2;
                return triangles;
            }();
        EXPECT_EQ(faces, expected) << name;
        EXPECT_TRUE(contains(r.err, "has no place for the camera and lights")) << r.err;
    }
}

TEST_F(ConvertToModel, AModelExportComesBackWhereItWas) {
    // A Y-up glTF model: its QMX export converted back to glTF gives the
    // model's own coordinates.
    const std::string obj = folder_ / "part.obj";
    writeFile(obj, "mtllib part.mtl\nv 0 0 0\nv 2 0 0\nv 2 1 -3\nv 0 1 -3\nusemtl Brick\nf 1 2 3 4\n");
    writeFile(folder_ / "part.mtl", "newmtl Brick\nKd 0.8 0.3 0.2\n");
    const std::string qmx = folder_ / "part.qmx";
    ToolResult r = runTool({"export", obj, "-o", qmx, "--host-dir", folder_ / "host", "--mode", "1"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    const Json tree = inspect(qmx);
    const std::string glb = folder_ / "part.glb";
    r = runTool({"convert", qmx, glb});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(glb, 0);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    expectMeshesAgree(*scene, tree, true, "model glb");
    const aiMesh& mesh = *scene->mMeshes[0];
    std::multiset<std::tuple<float, float, float>> corners, expected{{0, 0, 0}, {2, 0, 0}, {2, 1, -3}, {0, 1, -3}};
    for (unsigned i = 0; i < mesh.mNumVertices; ++i)
        corners.insert({std::round(mesh.mVertices[i].x * 1e4f) / 1e4f, std::round(mesh.mVertices[i].y * 1e4f) / 1e4f,
                        std::round(mesh.mVertices[i].z * 1e4f) / 1e4f});
    EXPECT_EQ(corners, expected);
    EXPECT_EQ(mesh.mNumFaces, 2u) << "the quad as two triangles";

    // A format named by --format, and one that cannot be told from the name.
    r = runTool({"convert", qmx, folder_ / "part.dae", "--format", "collada"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    r = runTool({"convert", qmx, folder_ / "part.xyz"});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(contains(r.err, "cannot tell the format")) << r.err;
}

}  // namespace
}  // namespace pelmora
