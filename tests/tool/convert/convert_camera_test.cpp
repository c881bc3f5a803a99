// One meaning of the camera's view angle from end to end: a model's camera
// imported, exported and converted back to glTF keeps its vertical angle, and
// the converted glTF camera puts the scene where `pelmora preview` puts it.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "preview/preview_scene.h"
#include "preview/view.h"
#include "tests/support/temp_folder.h"
#include "tests/tool/common/tool_runner.h"

namespace pelmora {
namespace {

using exporttest::runTool;
using exporttest::TempFolder;
using exporttest::ToolResult;
using exporttest::writeFile;
using Json = nlohmann::json;
using namespace exporttest::outcome;

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegree = kPi / 180.0;

// A glTF file of one triangle and one camera 5 m away looking at it.
std::string gltfWithCamera(double yfovDegrees, double aspect) {
    Json gltf = {
        {"asset", {{"version", "2.0"}}},
        {"scene", 0},
        {"scenes", {{{"nodes", {0, 1}}}}},
        {"nodes", {{{"mesh", 0}}, {{"camera", 0}, {"translation", {0, 0, 5}}}}},
        {"cameras",
         {{{"type", "perspective"},
           {"perspective", {{"yfov", yfovDegrees * kDegree}, {"aspectRatio", aspect}, {"znear", 0.1}}}}}},
        {"meshes", {{{"primitives", {{{"attributes", {{"POSITION", 0}}}}}}}}},
        {"accessors",
         {{{"bufferView", 0},
           {"componentType", 5126},
           {"count", 3},
           {"type", "VEC3"},
           {"min", {0, 0, 0}},
           {"max", {1, 1, 0}}}}},
        {"bufferViews", {{{"buffer", 0}, {"byteLength", 36}}}},
        {"buffers",
         {{{"byteLength", 36},
           {"uri", "data:application/octet-stream;base64,AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAA"}}}}};
    return gltf.dump();
}

Json readJson(const std::string& path) {
    std::ifstream in(path);
    return Json::parse(in);
}

class ConvertCamera : public ::testing::Test {
protected:
    // The model exported and converted to .gltf: that file's JSON.
    Json roundTrip(const std::string& model) {
        const std::string qmx = folder_ / "scene.qmx", gltf = folder_ / "scene.gltf";
        std::filesystem::create_directories(folder_ / "host");
        ToolResult r = runTool({"export", model, "-o", qmx, "--host-dir", folder_ / "host", "--force"});
        EXPECT_EQ(r.status, kExitOk) << r.err;
        r = runTool({"convert", qmx, gltf, "--force"});
        EXPECT_EQ(r.status, kExitOk) << r.err;
        return readJson(gltf);
    }
    TempFolder folder_;
};

// The QMX picture is always 640 x 480, so the aspect cannot survive; the
// vertical angle does.
TEST_F(ConvertCamera, ModelCamerasKeepTheirVerticalAngle) {
    for (auto [yfov, aspect] : {std::pair{18.0, 1.5}, std::pair{60.0, 1.0}}) {
        const std::string model = folder_ / "camera.gltf";
        writeFile(model, gltfWithCamera(yfov, aspect));
        const Json out = roundTrip(model);
        ASSERT_EQ(out["cameras"].size(), 1u) << yfov;
        const Json& perspective = out["cameras"][0]["perspective"];
        EXPECT_NEAR(perspective["yfov"].get<double>() / kDegree, yfov, 0.05) << "aspect " << aspect;
        EXPECT_NEAR(perspective["aspectRatio"].get<double>(), 640.0 / 480.0, 1e-9);
    }
    // A Collada camera given by its vertical angle (37.8492 degrees, aspect 1.5).
    const std::string duck = "/usr/share/assimp/models/Collada/duck.dae";
    ASSERT_TRUE(std::filesystem::exists(duck)) << "the assimp-testmodels package is missing";
    const Json out = roundTrip(duck);
    ASSERT_EQ(out["cameras"].size(), 1u);
    EXPECT_NEAR(out["cameras"][0]["perspective"]["yfov"].get<double>() / kDegree, 37.8492, 0.05);
}

// Column-major 4 x 4 matrix of a glTF node: the camera's inverse placement
// applied to a point.
preview::Vec3d intoCamera(const Json& matrix, const preview::Vec3d& p) {
    double m[16];
    for (int i = 0; i < 16; ++i) m[i] = matrix[i].get<double>();
    const preview::Vec3d d{p.x - m[12], p.y - m[13], p.z - m[14]};
    // The rotation's columns are the camera's axes.
    return {d.x * m[0] + d.y * m[1] + d.z * m[2], d.x * m[4] + d.y * m[5] + d.z * m[6],
            d.x * m[8] + d.y * m[9] + d.z * m[10]};
}

TEST_F(ConvertCamera, PreviewAndConvertedGltfFrameTheSceneAlike) {
    std::filesystem::copy(std::string(PELMORA_SOURCE_DIR) + "/examples/host", folder_ / "host",
                          std::filesystem::copy_options::recursive);
    const std::string qmx = folder_ / "house.qmx", gltf = folder_ / "house.gltf";
    ToolResult r = runTool({"export", std::string(PELMORA_SOURCE_DIR) + "/examples/house.json", "-o", qmx, "--host-dir",
                            folder_ / "host", "--mode", "3"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    ASSERT_EQ(runTool({"convert", qmx, gltf}).status, kExitOk);

    const preview::PreviewScene scene = preview::loadPreviewScene(qmx);
    ASSERT_TRUE(scene.camera.has_value());
    const int width = 640, height = 480;
    const preview::View view =
        preview::lookAt(scene.camera->eye, scene.camera->target, scene.camera->viewAngle, width, height);
    const Json out = readJson(gltf);
    const Json* cameraNode = nullptr;
    for (const Json& node : out["nodes"])
        if (node.contains("camera")) cameraNode = &node;
    ASSERT_NE(cameraNode, nullptr);
    const Json& perspective = out["cameras"][0]["perspective"];
    const double scale = 0.5 * height / std::tan(0.5 * perspective["yfov"].get<double>());
    ASSERT_NEAR(perspective["aspectRatio"].get<double>(), static_cast<double>(width) / height, 1e-9);

    const preview::Bounds bounds = preview::sceneBounds(scene);
    for (int corner = 0; corner < 8; ++corner) {
        const preview::Vec3d p{corner & 1 ? bounds.high.x : bounds.low.x, corner & 2 ? bounds.high.y : bounds.low.y,
                               corner & 4 ? bounds.high.z : bounds.low.z};
        const preview::Vec3d seen = view.toCamera(p);
        // The converted file's axes: the QMX third axis reversed.
        const preview::Vec3d c = intoCamera((*cameraNode)["matrix"], {p.x, p.y, -p.z});
        ASSERT_LT(c.z, 0.0) << "corner " << corner << " lies before the camera";
        EXPECT_NEAR(0.5 * width + scale * c.x / -c.z, view.pictureX(seen), 2.0) << "corner " << corner;
        EXPECT_NEAR(0.5 * height - scale * c.y / -c.z, view.pictureY(seen), 2.0) << "corner " << corner;
    }
}

}  // namespace
}  // namespace pelmora
