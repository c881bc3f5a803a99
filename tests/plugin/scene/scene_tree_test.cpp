// Whole scenes written against the emulated host and read back: the shape of
// the tree, node ids, names and the camera and light motion items.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "plugin/collect/mesh_source.h"
#include "plugin/host/qmx_exception.h"
#include "plugin/payloads/light_identity.h"
#include "plugin/payloads/light_source.h"
#include "plugin/payloads/scene_counters.h"
#include "plugin/scene_file/scene_writer.h"
#include "qmxread/payload_decode.h"
#include "tests/plugin/scene/scene_run.h"

namespace pelmora::scene_test {
namespace {

using qmxread::loadFloat;
using qmxread::loadInt32;
using qmxread::Node;

constexpr const char* kPerspective = R"({"perspective": true, "distance": 5000, "focal": 1, "box": [-1, -1, 1, 1]})";
constexpr const char* kFlat = R"({"perspective": false})";

// The expected node names, written out here independently of the plug-in, as
// the file holds them: in code page 932 (Shift-JIS).
const std::string kCameraTargetName = "\x92\x8D\x8E\x8B\x93\x5F>\x83\x4A\x83\x81\x83\x89";  // 注視点>カメラ
const std::string kCameraName = "\x83\x4A\x83\x81\x83\x89";                                 // カメラ
const std::string kTargetPrefix = "\x8F\xC6\x8E\xCB\x93\x5F>";                              // 照射点>
const std::string kLightStem = "\x83\x89\x83\x43\x83\x67-";                                 // ライト-

void expectTranslation(const qmxread::Motion& motion, float x, float y, float z) {
    const std::vector<float> t = translation(motion);
    ASSERT_EQ(t.size(), 3u);
    EXPECT_NEAR(t[0], x, 1e-5);
    EXPECT_NEAR(t[1], y, 1e-5);
    EXPECT_NEAR(t[2], z, 1e-5);
}

float floatAt(const qmxread::Motion& motion, std::size_t offset) { return loadFloat(&motion.data.at(offset)); }
std::int32_t intAt(const qmxread::Motion& motion, std::size_t offset) { return loadInt32(&motion.data.at(offset)); }

TEST(SceneTree, APerspectiveViewAloneGivesTheCameraTargetThenTheCamera) {
    const std::string folder = freshFolder("camera_only");
    SceneRun run(drawingJson("[]", kPerspective));
    const qmxread::QmxFile file = run.write(folder + "out.qmx");

    ASSERT_EQ(file.roots.size(), 1u);
    const Node& root = file.roots[0];
    EXPECT_EQ(root.id, 1000u);
    EXPECT_EQ(root.type, 1);
    EXPECT_EQ(root.name, "Node");
    EXPECT_TRUE(root.motions.empty());
    ASSERT_EQ(root.children.size(), 2u);

    const Node& target = root.children[0];
    EXPECT_EQ(target.id, 1002u);
    EXPECT_EQ(target.type, 16);
    EXPECT_EQ(target.name, kCameraTargetName);
    EXPECT_EQ(target.targetId1, -1);
    ASSERT_EQ(target.motions.size(), 1u);
    expectTranslation(target.motions[0], 0, 0, 0);

    const Node& camera = root.children[1];
    EXPECT_EQ(camera.id, 1001u);
    EXPECT_EQ(camera.type, 2);
    EXPECT_EQ(camera.name, kCameraName);
    EXPECT_EQ(camera.targetId1, 1002);
    EXPECT_EQ(camera.targetId2, 1002);
    EXPECT_TRUE(camera.children.empty());
    ASSERT_EQ(camera.motions.size(), 2u);
    expectTranslation(camera.motions[0], 0, 5, 0);  // eye 5000 mm up the view's axis

    const qmxread::Motion& parameter = camera.motions[1];
    EXPECT_EQ(parameter.name, "motionCameraParameter");
    EXPECT_EQ(parameter.dataFormat, 5);
    ASSERT_EQ(parameter.dataSize, 860);
    EXPECT_FLOAT_EQ(floatAt(parameter, 0), static_cast<float>(std::atan(1.0) * 1.414));  // about 1.110553
    EXPECT_EQ(static_cast<std::uint32_t>(intAt(parameter, 36 + 640)), 0xB1101Eu);        // switches 0, 1, 1
    EXPECT_EQ(intAt(parameter, 36 + 672), 2);                                            // camera value
}

TEST(SceneTree, ACameraPlacementIsMappedIntoTheSceneAxes) {
    const std::string folder = freshFolder("camera_placement");
    // Turned a quarter about the height axis, placed at (1000, 2000, 0) mm,
    // eye 5000 mm away: eye = R (0,0,5000 - O) = (2000, -1000, 5000) mm,
    // target = (2000, -1000, 0) mm; the scene file has the height second.
    SceneRun run(drawingJson("[]", R"({"perspective": true, "rotation": [[0, -1, 0], [1, 0, 0], [0, 0, 1]],
        "origin": [1000, 2000, 0], "distance": 5000, "focal": 2, "box": [0, -3, 0, 5]})"));
    const qmxread::QmxFile file = run.write(folder + "out.qmx");
    const Node& root = file.roots.at(0);
    ASSERT_EQ(root.children.size(), 2u);
    expectTranslation(root.children[0].motions.at(0), 2, 0, -1);
    expectTranslation(root.children[1].motions.at(0), 2, 5, -1);
    // angle = atan((box[3] - box[1]) / (2 f)) x 1.414 = atan(2) x 1.414
    EXPECT_FLOAT_EQ(floatAt(root.children[1].motions.at(1), 0), static_cast<float>(std::atan(2.0) * 1.414));
}

TEST(SceneTree, TheCameraStandsOnTheActiveLayersElevationBeforeVersion15) {
    const std::string folder = freshFolder("camera_elevation");
    const std::string layers = R"(, "layers": [{"name": "Ground", "elevation": 1000}], "hostVersion": )";
    {
        SceneRun run(R"({"pelmoraDrawing": 1, "view": )" + std::string(kPerspective) + layers + "13}");
        const Node root = run.write(folder + "v13.qmx").roots.at(0);
        expectTranslation(root.children.at(0).motions.at(0), 0, 1, 0);
        expectTranslation(root.children.at(1).motions.at(0), 0, 6, 0);
    }
    {
        SceneRun run(R"({"pelmoraDrawing": 1, "view": )" + std::string(kPerspective) + layers + "15}");
        const Node root = run.write(folder + "v15.qmx").roots.at(0);
        expectTranslation(root.children.at(0).motions.at(0), 0, 0, 0);
        expectTranslation(root.children.at(1).motions.at(0), 0, 5, 0);
    }
}

TEST(SceneTree, WithoutAPerspectiveViewTwoLightsGiveFourNodes) {
    const std::string folder = freshFolder("flat_two_lights");
    SceneRun run(drawingJson(R"([{"type": "light", "name": "One"}, {"type": "light", "name": "Two"}])", kFlat));
    run.addLight(0);
    run.addLight(1);
    const Node root = run.write(folder + "out.qmx").roots.at(0);
    ASSERT_EQ(root.children.size(), 4u);
    const std::uint32_t ids[4] = {1998, 1999, 1996, 1997};
    const std::int32_t types[4] = {16, 4, 16, 4};
    const std::string names[4] = {kTargetPrefix + "One", "One", kTargetPrefix + "Two", "Two"};
    for (int i = 0; i < 4; ++i) {
        const Node& n = root.children[i];
        EXPECT_EQ(n.id, ids[i]) << i;
        EXPECT_EQ(n.type, types[i]) << i;
        EXPECT_EQ(n.name, names[i]) << i;
        EXPECT_EQ(n.motions.size(), types[i] == 16 ? 1u : 3u) << i;
    }
    EXPECT_EQ(root.children[1].targetId1, 1998);
    EXPECT_EQ(root.children[1].targetId2, 1998);
    EXPECT_EQ(root.children[3].targetId1, 1996);
    EXPECT_EQ(root.children[3].targetId2, 1996);
}

TEST(SceneTree, ALightOfOneNodeWritesOnlyItsLightNodeStillLinkedToItsId) {
    const std::string folder = freshFolder("one_node_light");
    SceneRun run(drawingJson(R"([{"type": "light", "name": "Sun"}, {"type": "light", "name": "Lamp"}])", kFlat));
    run.addLight(0, 0.0, 1);
    run.addLight(1, 0.0, 2);
    const Node root = run.write(folder + "out.qmx").roots.at(0);
    ASSERT_EQ(root.children.size(), 3u);
    EXPECT_EQ(root.children[0].id, 1999u);
    EXPECT_EQ(root.children[0].type, 4);
    EXPECT_EQ(root.children[0].name, "Sun");
    EXPECT_EQ(root.children[0].targetId1, 1998);
    EXPECT_EQ(root.children[0].targetId2, 1998);
    EXPECT_EQ(root.children[1].id, 1996u);
    EXPECT_EQ(root.children[2].id, 1997u);
}

TEST(SceneTree, CameraLightsAndThenMeshesFromTheGeometryPass) {
    const std::string folder = freshFolder("full_tree");
    SceneRun run(drawingJson(R"([
        {"type": "polygon", "class": "Walls", "points": [[0,0,0], [1000,0,0], [1000,0,2500]]},
        {"type": "light", "name": "Lamp", "properties": {"55": 0}},
        {"type": "polygon", "class": "None", "points": [[0,0,0], [0,1000,0], [0,1000,2500]]}
    ])",
                             kPerspective));
    run.collect(1);
    nextMeshNodeId = 1700;  // whatever an earlier export left: the write step starts again at 1003
    const Node root = run.write(folder + "out.qmx").roots.at(0);
    ASSERT_EQ(root.children.size(), 6u);
    EXPECT_EQ(root.children[0].id, 1002u);
    EXPECT_EQ(root.children[1].id, 1001u);
    EXPECT_EQ(root.children[2].id, 1998u);
    EXPECT_EQ(root.children[3].id, 1999u);
    EXPECT_EQ(root.children[4].id, 1003u);
    EXPECT_EQ(root.children[4].type, 8);
    EXPECT_EQ(root.children[4].name, "Walls");
    EXPECT_EQ(root.children[5].id, 1004u);
    EXPECT_EQ(root.children[5].name, "None");
    EXPECT_EQ(nextMeshNodeId, 1005);
}

TEST(SceneTree, ChildrenPastTheCountAreNull) {
    SceneRun run(drawingJson(R"([{"type": "light"}])", kPerspective));
    run.addLight(0);
    ASSERT_EQ(run.root().childCount(), 4u);
    EXPECT_NE(run.root().child(3), nullptr);
    EXPECT_EQ(run.root().child(4), nullptr);
    EXPECT_EQ(run.root().child(1000), nullptr);
    // The shared sources take the role of the position asked for.
    EXPECT_EQ(run.root().child(0), &run.root().camera);
    EXPECT_EQ(run.root().camera.role, 2);
    run.root().child(1);
    EXPECT_EQ(run.root().camera.role, 1);
    LightSource* light = static_cast<LightSource*>(run.root().child(2));
    EXPECT_EQ(light->role(), 2);
    run.root().child(3);
    EXPECT_EQ(light->role(), 1);
}

TEST(SceneTree, EveryChildPositionGivesTheSourceAndRoleOfALinearWalk) {
    SceneRun run(drawingJson(R"([{"type": "light"}])", kPerspective));
    std::mt19937 random(22);
    std::uniform_int_distribution<std::int32_t> nodes(-1, 3);  // none, and a count never below zero
    for (int i = 0; i < 300; ++i) run.addLight(0, 0.0, nodes(random));
    for (int i = 0; i < 40; ++i) run.scene().meshes.push_back(std::make_unique<MeshSource>());
    // The positions written out by walking the list: camera target, camera, each light's nodes, the meshes.
    std::vector<std::pair<TreeSource*, std::int32_t>> expected = {{&run.root().camera, 2}, {&run.root().camera, 1}};
    for (const auto& light : run.scene().lights)
        for (std::int32_t role = light->nodeCount(); role > 0; --role) expected.emplace_back(light.get(), role);
    for (const auto& mesh : run.scene().meshes) expected.emplace_back(mesh.get(), 0);

    ASSERT_EQ(run.root().childCount(), expected.size());
    for (unsigned index = 0; index < expected.size() + 3; ++index) {
        TreeSource* child = run.root().child(index);
        if (index >= expected.size()) {
            EXPECT_EQ(child, nullptr) << index;
            continue;
        }
        ASSERT_EQ(child, expected[index].first) << index;
        if (index < 2) {
            EXPECT_EQ(run.root().camera.role, expected[index].second) << index;
        } else if (expected[index].second > 0) {
            EXPECT_EQ(static_cast<LightSource*>(child)->role(), expected[index].second) << index;
        }
    }
}

TEST(SceneTree, TheViewWalkRaisesWhenTheCurrentItemIsNotWhereTheCommandNeedsIt) {
    for (const auto& [item, message] : {std::pair{0, 6}, std::pair{3, 7}}) {
        SceneRun run(drawingJson("[]", kPerspective, R"(, "currentItem": )" + std::to_string(item)));
        try {
            run.root().childCount();
            ADD_FAILURE() << "no failure for current item " << item;
        } catch (const qmx_exception& e) {
            EXPECT_EQ(e.list, 11011);
            EXPECT_EQ(e.index, message);
        }
    }
    SceneRun first(drawingJson("[]", kPerspective, R"(, "currentItem": 1)"));
    EXPECT_EQ(first.root().childCount(), 2u);
}

TEST(SceneTree, TheSourcesFollowTheLegacyLayoutWhenTheWriterAsksForIt) {
    const std::string folder = freshFolder("legacy");
    SceneRun run(drawingJson(R"([{"type": "light", "properties": {"51": 0.5, "52": [1, 0, 0]}}])", kPerspective));
    run.addLight(0);
    assignLightIds(run.scene().lights);
    SceneDescription description(&run.root());
    SceneWriter writer;
    writer.legacy = true;
    ASSERT_EQ(writer.write((folder + "legacy.qmx").c_str(), &description), 1);
    const qmxread::QmxFile file = readBack(folder + "legacy.qmx");
    EXPECT_EQ(file.header.layout, qmxread::Layout::Legacy);
    const Node& root = file.roots.at(0);
    EXPECT_EQ(root.kind, 4);
    ASSERT_EQ(root.children.size(), 4u);
    const Node& camera = root.children[1];
    EXPECT_EQ(camera.kind, 4);
    EXPECT_EQ(camera.targetId1, 1002);
    EXPECT_EQ(camera.motions.at(1).dataFormat, 2);
    EXPECT_EQ(camera.motions.at(1).dataSize, 952);
    const Node& light = root.children[3];
    EXPECT_EQ(light.id, 1999u);
    ASSERT_EQ(light.motions.size(), 3u);
    EXPECT_EQ(light.motions[0].kind, 1);
    // The legacy material scales the diffuse colour by the intensity 0.5 x 1.3333333.
    EXPECT_EQ(light.motions[1].dataSize, 116);
    EXPECT_NEAR(floatAt(light.motions[1], 0), 0.5 * 1.3333333, 1e-6);
    EXPECT_EQ(light.motions[2].dataSize, 72);
    EXPECT_FLOAT_EQ(floatAt(light.motions[2], 12), 1.0f);  // the legacy layout knows 1.0 and 1.3 only
}

// ---- lights: motion items, aim points and names

constexpr const char* kSpot = R"([{"type": "light", "name": "Spot", "properties": {
    "50": false, "51": 1.5, "52": [0.5, 0.25, 1.0], "53": true, "54": [1000, 2000, 3000],
    "55": 2, "56": [0, 0, -2000], "59": 2, "61": 0.5, "62": 0.25}}])";

TEST(LightNodes, PositionAndAimPointInTheSceneAxes) {
    const std::string folder = freshFolder("aim_point");
    SceneRun run(drawingJson(kSpot, kFlat));
    run.addLight(0);
    const Node root = run.write(folder + "out.qmx").roots.at(0);
    ASSERT_EQ(root.children.size(), 2u);
    // Light at (1, 2, 3) m looking down (0, 0, -2): the aim point lies 3 m along it, at (1, 2, 0).
    expectTranslation(root.children[0].motions.at(0), 1, 0, 2);
    expectTranslation(root.children[1].motions.at(0), 1, 3, 2);
}

TEST(LightNodes, TheBaseHeightLiftsPositionAndAimPoint) {
    const std::string folder = freshFolder("base_height");
    SceneRun run(drawingJson(kSpot, kFlat));
    run.addLight(0, 10.0);
    const Node root = run.write(folder + "out.qmx").roots.at(0);
    expectTranslation(root.children.at(0).motions.at(0), 1, 10, 2);
    expectTranslation(root.children.at(1).motions.at(0), 1, 13, 2);
}

TEST(LightNodes, ALightWithoutDirectionAimsAtItself) {
    const std::string folder = freshFolder("no_direction");
    SceneRun run(
        drawingJson(R"([{"type": "light", "properties": {"54": [1000, 2000, 3000], "56": [0, 0, 0]}}])", kFlat));
    run.addLight(0);
    const Node root = run.write(folder + "out.qmx").roots.at(0);
    expectTranslation(root.children.at(0).motions.at(0), 1, 3, 2);
    expectTranslation(root.children.at(1).motions.at(0), 1, 3, 2);
}

TEST(LightNodes, ColourIntensityAndLightParametersOfASpot) {
    const std::string folder = freshFolder("spot_parameters");
    SceneRun run(drawingJson(kSpot, kFlat));
    run.addLight(0);
    const Node root = run.write(folder + "out.qmx").roots.at(0);
    const Node& light = root.children.at(1);
    ASSERT_EQ(light.motions.size(), 3u);

    const qmxread::Motion& material = light.motions[1];
    EXPECT_EQ(material.name, "motionMaterial");
    EXPECT_EQ(material.dataFormat, 3);
    ASSERT_EQ(material.dataSize, 164);
    EXPECT_FLOAT_EQ(floatAt(material, 0), 0.5f);
    EXPECT_FLOAT_EQ(floatAt(material, 4), 0.25f);
    EXPECT_FLOAT_EQ(floatAt(material, 8), 1.0f);
    EXPECT_FLOAT_EQ(floatAt(material, 12), 0.0f);

    const qmxread::Motion& parameter = light.motions[2];
    EXPECT_EQ(parameter.name, "motionLightParameter");
    ASSERT_EQ(parameter.dataSize, 72);
    EXPECT_EQ(intAt(parameter, 0), 3);  // kind 2: a spot
    EXPECT_EQ(intAt(parameter, 4), 0);  // property 50 false
    EXPECT_FLOAT_EQ(floatAt(parameter, 12), static_cast<float>(1.5 * 1.3333333));
    EXPECT_FLOAT_EQ(floatAt(parameter, 16), 0.5f);   // cone A
    EXPECT_FLOAT_EQ(floatAt(parameter, 20), 0.25f);  // cone B
    EXPECT_FLOAT_EQ(floatAt(parameter, 32), 0.0f);   // axis 2: (0, 0, 1)
    EXPECT_FLOAT_EQ(floatAt(parameter, 36), 0.0f);
    EXPECT_FLOAT_EQ(floatAt(parameter, 40), 1.0f);
    EXPECT_EQ(intAt(parameter, 44), 2);  // property 53 true
    EXPECT_FLOAT_EQ(floatAt(parameter, 48), 0.5f);
}

TEST(LightNodes, OnlySpotsTakeTheirConesAndUnknownKindsAreType2) {
    const std::string folder = freshFolder("light_kinds");
    SceneRun run(drawingJson(R"([
        {"type": "light", "properties": {"55": 0, "61": 0.5, "62": 0.25, "59": 0, "50": true}},
        {"type": "light", "properties": {"55": 7, "59": 9}},
        {"type": "light", "properties": {"55": 1}}])",
                             kFlat));
    run.addLight(0);
    run.addLight(1);
    run.addLight(2, 0.0, 1);
    const Node root = run.write(folder + "out.qmx").roots.at(0);
    ASSERT_EQ(root.children.size(), 5u);
    const qmxread::Motion& first = root.children[1].motions.at(2);
    EXPECT_EQ(intAt(first, 0), 1);
    EXPECT_EQ(intAt(first, 4), 1);
    EXPECT_EQ(static_cast<std::uint32_t>(intAt(first, 16)), 0x3F490E56u);  // cones keep their defaults
    EXPECT_FLOAT_EQ(floatAt(first, 20), 0.0f);
    EXPECT_FLOAT_EQ(floatAt(first, 32), 1.0f);  // axis 0: (1, 0, 0)
    EXPECT_FLOAT_EQ(floatAt(first, 36), 0.0f);
    EXPECT_EQ(intAt(first, 44), 1);  // property 53 not given: mode 1

    const qmxread::Motion& second = root.children[3].motions.at(2);
    EXPECT_EQ(intAt(second, 0), 2);
    EXPECT_FLOAT_EQ(floatAt(second, 32), 0.0f);  // axis 9: the default (0, 1, 0)
    EXPECT_FLOAT_EQ(floatAt(second, 36), 1.0f);
    EXPECT_FLOAT_EQ(floatAt(second, 40), 0.0f);

    EXPECT_EQ(intAt(root.children[4].motions.at(2), 0), 2);  // kind 1
}

TEST(LightNodes, UnnamedLightsAreNumberedOnFromExportToExport) {
    const std::string folder = freshFolder("unnamed");
    SceneRun run(drawingJson(R"([{"type": "light"}, {"type": "light", "name": "A"}, {"type": "light"}])", kFlat));
    const std::int32_t n = lightNameCounter;
    for (int i = 0; i < 3; ++i) run.addLight(i);
    Node root = run.write(folder + "first.qmx").roots.at(0);
    ASSERT_EQ(root.children.size(), 6u);
    const auto numbered = [](const std::string& stem, std::int32_t k) { return stem + std::to_string(k); };
    EXPECT_EQ(root.children[0].name, numbered(kTargetPrefix + kLightStem, n));
    EXPECT_EQ(root.children[1].name, numbered(kLightStem, n));
    EXPECT_EQ(root.children[2].name, kTargetPrefix + "A");
    EXPECT_EQ(root.children[3].name, "A");
    EXPECT_EQ(root.children[4].name, numbered(kTargetPrefix + kLightStem, n + 1));
    EXPECT_EQ(root.children[5].name, numbered(kLightStem, n + 1));

    run.restart();
    run.addLight(0);
    root = run.write(folder + "second.qmx").roots.at(0);
    EXPECT_EQ(root.children.at(0).name, numbered(kTargetPrefix + kLightStem, n + 2));
    EXPECT_EQ(root.children.at(1).name, numbered(kLightStem, n + 2));
    EXPECT_EQ(lightNameCounter, n + 3);
}

TEST(LightNodes, LongNamesAreCutTo254Bytes) {
    const std::string folder = freshFolder("long_name");
    const std::string name(300, 'x');  // the host hands over 255 of them
    SceneRun run(drawingJson(R"([{"type": "light", "name": ")" + name + R"("}])", kFlat));
    run.addLight(0);
    const Node root = run.write(folder + "out.qmx").roots.at(0);
    EXPECT_EQ(root.children.at(0).name, (kTargetPrefix + name).substr(0, 254));
    EXPECT_EQ(root.children.at(1).name, name.substr(0, 254));
}

// ---- the shared sources: what each role and index gives

float payloadFloat(const MotionRecord& r, int offset) { return loadFloat(r.data + offset); }

TEST(SourceRoles, TheCameraAnswersPerRoleAndIndex) {
    SceneRun run(drawingJson("[]", kPerspective));
    ASSERT_EQ(run.root().childCount(), 2u);
    CameraSource& camera = run.root().camera;

    camera.role = 2;  // the target: one item, the target point, whatever the index
    EXPECT_EQ(camera.motionCount(), 1u);
    MotionRecord target;
    ASSERT_TRUE(camera.motion(5, false, target));
    EXPECT_STREQ(target.name, "motionTranslate");
    ASSERT_EQ(target.dataSize, 12);
    EXPECT_EQ(payloadFloat(target, 4), 0.0f);

    camera.role = 1;  // the camera: eye, parameters, nothing past them
    EXPECT_EQ(camera.motionCount(), 2u);
    MotionRecord eye;
    ASSERT_TRUE(camera.motion(0, false, eye));
    EXPECT_STREQ(eye.name, "motionTranslate");
    EXPECT_NEAR(payloadFloat(eye, 4), 5.0f, 1e-6);  // d = 5000 mm along the view axis, height second
    MotionRecord beyond;
    EXPECT_FALSE(camera.motion(2, false, beyond));
    EXPECT_EQ(beyond.data, nullptr);

    camera.role = 0;
    EXPECT_EQ(camera.motionCount(), 0u);
}

TEST(SourceRoles, WithoutAPerspectiveViewTheCameraDescribesNothing) {
    SceneRun run(drawingJson("[]", kFlat));
    EXPECT_EQ(run.root().childCount(), 0u);
    EXPECT_EQ(run.root().child(0), nullptr);
    CameraSource& camera = run.root().camera;
    for (std::int32_t role : {1, 2}) {
        camera.role = role;
        NodeRecord node;
        node.reset(false);
        camera.describe(false, node);
        EXPECT_EQ(node.id, 0u) << role;
        EXPECT_EQ(node.type, 0) << role;
        EXPECT_EQ(node.name[0], '\0') << role;
        EXPECT_EQ(node.targetId1, -1) << role;
        EXPECT_EQ(camera.motionCount(), 0u) << role;
    }
}

TEST(SourceRoles, ALightAnswersPerRoleAndIndex) {
    SceneRun run(drawingJson(kSpot, kFlat));
    LightSource& light = run.addLight(0);

    light.setRole(2);  // the target: the aim point whatever the index
    EXPECT_EQ(light.motionCount(), 1u);
    MotionRecord aim;
    ASSERT_TRUE(light.motion(7, false, aim));
    EXPECT_STREQ(aim.name, "motionTranslate");
    ASSERT_EQ(aim.dataSize, 12);
    EXPECT_NEAR(payloadFloat(aim, 0), 1.0f, 1e-6);  // (1, 2, 3) m looking down 3 m: (1, 2, 0)
    EXPECT_NEAR(payloadFloat(aim, 4), 0.0f, 1e-6);
    EXPECT_NEAR(payloadFloat(aim, 8), 2.0f, 1e-6);

    light.setRole(1);  // the light: position, colour, parameters; a further index fills nothing yet counts
    EXPECT_EQ(light.motionCount(), 3u);
    const char* names[3] = {"motionTranslate", "motionMaterial", "motionLightParameter"};
    for (unsigned i = 0; i < 3; ++i) {
        MotionRecord r;
        ASSERT_TRUE(light.motion(i, false, r)) << i;
        EXPECT_STREQ(r.name, names[i]) << i;
    }
    MotionRecord beyond;
    EXPECT_TRUE(light.motion(3, false, beyond));
    EXPECT_EQ(beyond.name[0], '\0');
    EXPECT_EQ(beyond.data, nullptr);
    EXPECT_EQ(beyond.dataSize, 0);
}

}  // namespace
}  // namespace pelmora::scene_test
