// One meaning of the camera's view angle from end to end: a model's camera
// imported, exported and converted back to glTF keeps its vertical angle, and
// the converted glTF camera puts the scene where `pelmora preview` puts it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include <nlohmann/json.hpp>

#include "preview/preview_scene.h"
#include "preview/render_preview.h"
#include "preview/view.h"
#include "preview/view_angle.h"
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

// A Collada file of one triangle and a camera placed by the node "eye" (named
// otherwise), with `optics` inside its <perspective>.
std::string colladaWithCamera(const std::string& optics) {
    return R"(<?xml version="1.0" encoding="utf-8"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
  <asset><up_axis>Y_UP</up_axis></asset>
  <library_cameras><camera id="lens"><optics><technique_common><perspective>)" +
           optics +
           R"(<znear>0.1</znear><zfar>100</zfar></perspective></technique_common></optics></camera></library_cameras>
  <library_geometries><geometry id="g"><mesh>
    <source id="p"><float_array id="pa" count="9">0 0 0 1 0 0 0 1 0</float_array>
      <technique_common><accessor source="#pa" count="3" stride="3"><param name="X" type="float"/><param name="Y" type="float"/><param name="Z" type="float"/></accessor></technique_common></source>
    <vertices id="v"><input semantic="POSITION" source="#p"/></vertices>
    <triangles count="1"><input semantic="VERTEX" source="#v" offset="0"/><p>0 1 2</p></triangles>
  </mesh></geometry></library_geometries>
  <library_visual_scenes><visual_scene id="s">
    <node id="shape"><instance_geometry url="#g"/></node>
    <node id="eye" name="The eye"><translate>0 0 5</translate><instance_camera url="#lens"/></node>
  </visual_scene></library_visual_scenes>
  <scene><instance_visual_scene url="#s"/></scene>
</COLLADA>
)";
}

// A glTF file of one triangle and cameras of these vertical angles (radians;
// an aspect of 0 names none), each placed by a node named "Cam<i>".
std::string gltfWithCameras(const std::vector<std::pair<double, double>>& cameras) {
    Json gltf = Json::parse(gltfWithCamera(30.0, 1.0));
    gltf["cameras"] = Json::array();
    gltf["nodes"] = Json::array({{{"mesh", 0}}});
    gltf["scenes"][0]["nodes"] = Json::array({0});
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        Json perspective = {{"yfov", cameras[i].first}, {"znear", 0.1}};
        if (cameras[i].second > 0.0) perspective["aspectRatio"] = cameras[i].second;
        gltf["cameras"].push_back({{"type", "perspective"}, {"perspective", perspective}});
        gltf["nodes"].push_back({{"name", "Cam" + std::to_string(i)}, {"camera", i}, {"translation", {0, 0, 5}}});
        gltf["scenes"][0]["nodes"].push_back(i + 1);
    }
    return gltf.dump();
}

// Every way a source gives a camera's angle comes through export and
// conversion as the same vertical angle on the 4:3 picture.
TEST_F(ConvertCamera, EveryCameraAngleOfASourceComesThrough) {
    struct Case {
        std::string file, text;
        double yfov;  // degrees expected
    };
    const double xfov90At43 = 2.0 * std::atan(std::tan(45.0 * kDegree) * 0.75) / kDegree;
    const std::vector<Case> cases = {
        {"yfov.dae", colladaWithCamera("<yfov>30</yfov>"), 30.0},
        {"yfov_aspect.dae", colladaWithCamera("<yfov>30</yfov><aspect_ratio>1.5</aspect_ratio>"), 30.0},
        {"xfov.dae", colladaWithCamera("<xfov>90</xfov>"), xfov90At43},
        {"xfov_aspect.dae", colladaWithCamera("<xfov>90</xfov><aspect_ratio>2</aspect_ratio>"),
         2.0 * std::atan(0.5) / kDegree},
        {"both.dae", colladaWithCamera("<xfov>90</xfov><yfov>60</yfov>"), 60.0},
        {"no_aspect.gltf", gltfWithCameras({{1.2, 0.0}}), 1.2 / kDegree},
        {"aspect.gltf", gltfWithCameras({{0.5, 16.0 / 9.0}}), 0.5 / kDegree},
        {"wide_16_9.gltf", gltfWithCameras({{2.0, 16.0 / 9.0}}), 2.0 / kDegree},
    };
    for (const Case& each : cases) {
        const std::string model = folder_ / each.file;
        writeFile(model, each.text);
        const Json out = roundTrip(model);
        ASSERT_EQ(out["cameras"].size(), 1u) << each.file;
        EXPECT_NEAR(out["cameras"][0]["perspective"]["yfov"].get<double>() / kDegree, each.yfov, 0.05) << each.file;
    }
}

// An angle the scene file cannot hold is brought within it, and the warning
// says both angles.
TEST_F(ConvertCamera, AnAngleTooWideIsClampedWithAWarning) {
    const std::string model = folder_ / "fisheye.gltf", qmx = folder_ / "fisheye.qmx", gltf = folder_ / "out.gltf";
    writeFile(model, gltfWithCameras({{3.1, 1.0}}));
    std::filesystem::create_directories(folder_ / "host");
    const ToolResult r = runTool({"export", model, "-o", qmx, "--host-dir", folder_ / "host"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    ASSERT_EQ(runTool({"convert", qmx, gltf}).status, kExitOk);
    const double held = readJson(gltf)["cameras"][0]["perspective"]["yfov"].get<double>() / kDegree;
    EXPECT_GT(held, 170.0);
    EXPECT_LT(held, 3.1 / kDegree);
    char wanted[32], given[32];
    std::snprintf(wanted, sizeof wanted, "%.2f°", 3.1 / kDegree);
    std::snprintf(given, sizeof given, "%.1f", held);
    EXPECT_TRUE(contains(r.err, wanted)) << r.err;
    EXPECT_TRUE(contains(r.err, given)) << "the held angle " << given << " is not named: " << r.err;
}

// glTF's scene camera is the one a node places; --camera takes another by
// name or index, and one the model lacks is refused with the list.
TEST_F(ConvertCamera, TheSceneCameraOrTheOneAskedFor) {
    Json twoCameras = Json::parse(gltfWithCameras({{20.0 * kDegree, 1.0}, {40.0 * kDegree, 1.0}}));
    twoCameras["cameras"].insert(twoCameras["cameras"].begin(),
                                 Json{{"type", "perspective"}, {"perspective", {{"yfov", 1.0}, {"znear", 0.1}}}});
    for (Json& node : twoCameras["nodes"])
        if (node.contains("camera")) node["camera"] = node["camera"].get<int>() + 1;  // the first is placed by none
    const std::string model = folder_ / "cameras.gltf", qmx = folder_ / "c.qmx", gltf = folder_ / "c.gltf";
    writeFile(model, twoCameras.dump());
    std::filesystem::create_directories(folder_ / "host");
    const auto angleWith = [&](std::vector<std::string> extra) {
        std::vector<std::string> arguments = {"export", model, "-o", qmx, "--host-dir", folder_ / "host", "--force"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        const ToolResult r = runTool(arguments);
        EXPECT_EQ(r.status, kExitOk) << r.err;
        EXPECT_EQ(runTool({"convert", qmx, gltf, "--force"}).status, kExitOk);
        return readJson(gltf)["cameras"][0]["perspective"]["yfov"].get<double>() / kDegree;
    };
    EXPECT_NEAR(angleWith({}), 20.0, 0.05);
    EXPECT_NEAR(angleWith({"--camera", "Cam1"}), 40.0, 0.05);
    EXPECT_NEAR(angleWith({"--camera", "1"}), 40.0, 0.05);  // as the refusal lists them
    const ToolResult refused =
        runTool({"export", model, "-o", folder_ / "x.qmx", "--host-dir", folder_ / "host", "--camera", "Cam7"});
    EXPECT_EQ(refused.status, kExitUsage);
    EXPECT_TRUE(contains(refused.err, "Cam7") && contains(refused.err, "\"Cam0\"") && contains(refused.err, "\"Cam1\""))
        << refused.err;
    EXPECT_FALSE(std::filesystem::exists(folder_ / "x.qmx"));
}

// A Blender file's active camera is its scene's, not the first of the file
// (here "Camera.001"), in a compressed file too.
TEST_F(ConvertCamera, BlenderFilesGiveTheirActiveCamera) {
    const std::string blend = "/usr/share/assimp/models/BLEND/TorusLightsCams_250_compressed.blend";
    ASSERT_TRUE(std::filesystem::exists(blend)) << "the assimp-testmodels package is missing";
    std::filesystem::create_directories(folder_ / "host");
    const std::string qmx = folder_ / "blend.qmx";
    const auto eyeWith = [&](std::vector<std::string> extra) {
        std::vector<std::string> arguments = {"export", blend, "-o", qmx, "--host-dir", folder_ / "host", "--force"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        const ToolResult r = runTool(arguments);
        EXPECT_EQ(r.status, kExitOk) << r.err;
        const preview::PreviewScene scene = preview::loadPreviewScene(qmx);
        EXPECT_TRUE(scene.camera.has_value());
        return scene.camera ? scene.camera->eye : preview::Vec3d{};
    };
    const preview::Vec3d active = eyeWith({}), named = eyeWith({"--camera", "Camera"}),
                         first = eyeWith({"--camera", "Camera.001"});
    EXPECT_EQ(active.x, named.x);
    EXPECT_EQ(active.y, named.y);
    EXPECT_EQ(active.z, named.z);
    EXPECT_GT(std::abs(active.x - first.x) + std::abs(active.y - first.y) + std::abs(active.z - first.z), 0.1);
}

// A scene without a camera is converted with the camera the preview frames
// it with: the same eye, direction and angle.
TEST_F(ConvertCamera, ASceneWithoutCameraGetsThePreviewsView) {
    const std::string model = folder_ / "none.gltf", qmx = folder_ / "none.qmx", gltf = folder_ / "none.gltf.out.gltf";
    writeFile(model, gltfWithCameras({}));
    std::filesystem::create_directories(folder_ / "host");
    ASSERT_EQ(runTool({"export", model, "-o", qmx, "--host-dir", folder_ / "host"}).status, kExitOk);
    ASSERT_EQ(runTool({"convert", qmx, gltf}).status, kExitOk);
    const preview::PreviewScene scene = preview::loadPreviewScene(qmx);
    ASSERT_FALSE(scene.camera.has_value());
    const preview::View view =
        preview::framingView(preview::sceneBounds(scene), preview::kDefaultWidth, preview::kDefaultHeight);
    const Json out = readJson(gltf);
    ASSERT_EQ(out["cameras"].size(), 1u);
    const Json& perspective = out["cameras"][0]["perspective"];
    EXPECT_NEAR(perspective["aspectRatio"].get<double>(), 16.0 / 9.0, 1e-6);
    EXPECT_NEAR(perspective["yfov"].get<double>(), 2.0 * std::atan(0.5 * preview::kDefaultHeight / view.focal), 1e-4);
    for (const Json& node : out["nodes"]) {
        if (!node.contains("camera")) continue;
        const Json& m = node["matrix"];
        EXPECT_NEAR(m[12].get<double>(), view.eye.x, 1e-3);
        EXPECT_NEAR(m[13].get<double>(), view.eye.y, 1e-3);
        EXPECT_NEAR(m[14].get<double>(), -view.eye.z, 1e-3);
        // The camera looks down its -Z: the matrix's third column, reversed.
        EXPECT_NEAR(-m[8].get<double>(), view.forward.x, 1e-4);
        EXPECT_NEAR(-m[9].get<double>(), view.forward.y, 1e-4);
        EXPECT_NEAR(m[10].get<double>(), view.forward.z, 1e-4);
    }
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
