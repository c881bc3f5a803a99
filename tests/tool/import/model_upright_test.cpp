// Models stand upright under the default --model-up auto: the up axis the
// file states, or its format's, becomes the scene's up (the scene file's Y);
// --model-up still overrides.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "qmxread/qmx_reader.h"
#include "tests/support/temp_folder.h"
#include "tests/tool/common/tool_runner.h"

namespace pelmora {
namespace {

using exporttest::runTool;
using exporttest::TempFolder;
using exporttest::ToolResult;
using exporttest::writeFile;
using Strings = std::vector<std::string>;
using namespace exporttest::outcome;

// A Z-up Collada triangle 3 m tall along Z, 1 m wide along X.
constexpr const char* kZUpCollada = R"(<?xml version="1.0" encoding="utf-8"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
  <asset><up_axis>Z_UP</up_axis></asset>
  <library_geometries><geometry id="g"><mesh>
    <source id="p"><float_array id="pa" count="9">0 0 0 1 0 0 0 0 3</float_array>
      <technique_common><accessor source="#pa" count="3" stride="3"><param name="X" type="float"/><param name="Y" type="float"/><param name="Z" type="float"/></accessor></technique_common></source>
    <vertices id="v"><input semantic="POSITION" source="#p"/></vertices>
    <triangles count="1"><input semantic="VERTEX" source="#v" offset="0"/><p>0 1 2</p></triangles>
  </mesh></geometry></library_geometries>
  <library_visual_scenes><visual_scene id="s"><node id="n"><instance_geometry url="#g"/></node></visual_scene></library_visual_scenes>
  <scene><instance_visual_scene url="#s"/></scene>
</COLLADA>
)";

class ModelUpright : public ::testing::Test {
protected:
    qmxread::QmxFile exported(const std::string& model, Strings extra = {}) {
        const std::string qmx = folder_ / "up.qmx";
        std::filesystem::create_directories(folder_ / "host");
        Strings args{"export", model, "-o", qmx, "--host-dir", folder_ / "host", "--force"};
        args.insert(args.end(), extra.begin(), extra.end());
        const ToolResult r = runTool(args);
        EXPECT_EQ(r.status, kExitOk) << r.err;
        return qmxread::readQmxFile(qmx);
    }
    TempFolder folder_;
};

// The height (scene Y) and depth (scene Z) the meshes span.
std::pair<float, float> heightAndDepth(const qmxread::QmxFile& file) {
    float low[3] = {1e30f, 1e30f, 1e30f}, high[3] = {-1e30f, -1e30f, -1e30f};
    for (const auto& node : file.roots.at(0).children) {
        if (!node.mesh) continue;
        for (const auto& v : node.mesh->vertices) {
            const float xyz[3] = {v.x, v.y, v.z};
            for (int i = 0; i < 3; ++i) low[i] = std::min(low[i], xyz[i]), high[i] = std::max(high[i], xyz[i]);
        }
    }
    return {high[1] - low[1], high[2] - low[2]};
}

// The camera's height: the scene Y of its node.
float cameraHeight(const qmxread::QmxFile& file) {
    for (const auto& node : file.roots.at(0).children) {
        if (node.type != qmxread::kCameraNode) continue;
        for (const auto& motion : node.motions)
            if (motion.name == "motionTranslate" && motion.payload)
                if (const auto* t = motion.payload->find("translation"); t && t->floats.size() == 3)
                    return t->floats[1];
    }
    ADD_FAILURE() << "no camera";
    return 0.0f;
}

TEST_F(ModelUpright, ZUpSourcesStandUpright) {
    const std::string collada = folder_ / "tall.dae";
    writeFile(collada, kZUpCollada);
    auto [height, depth] = heightAndDepth(exported(collada));
    EXPECT_NEAR(height, 3.0f, 1e-4);
    EXPECT_NEAR(depth, 0.0f, 1e-4);
    // Told otherwise, the importer's Y-up scene is taken as Z-up: it lies down.
    std::tie(height, depth) = heightAndDepth(exported(collada, {"--model-up", "z"}));
    EXPECT_NEAR(height, 0.0f, 1e-4);
    EXPECT_NEAR(depth, 3.0f, 1e-4);

    // Blender is Z-up: its camera looks at the cubes from above.
    const std::string blend = "/usr/share/assimp/models/BLEND/SmoothVsSolidCube_248.blend";
    ASSERT_TRUE(std::filesystem::exists(blend)) << "the assimp-testmodels package is missing";
    const float upright = cameraHeight(exported(blend));
    EXPECT_GT(upright, 1.0f);
    EXPECT_FLOAT_EQ(cameraHeight(exported(blend, {"--model-up", "z"})), upright);
    EXPECT_NE(cameraHeight(exported(blend, {"--model-up", "y"})), upright);
}

}  // namespace
}  // namespace pelmora
