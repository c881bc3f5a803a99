// A collected drawing written as a QMX file and read back: mesh nodes come last,
// one per class in order of first use, with the welded vertices, the output
// axes and the polygon lists as collected.
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "plugin/collect/collection.h"
#include "plugin/scene/root_source.h"
#include "plugin/scene/write_scene.h"
#include "qmxread/qmx_reader.h"
#include "tests/plugin/collect/collect_fixture.h"

namespace pelmora {
namespace {

using collect_test::HostedDrawing;

const char* kDrawing = R"({"pelmoraDrawing": 1, "unitsPerInch": 25.4, "hostVersion": 13,
  "classes": ["None", "Walls", "Roof"],
  "layers": [
    {"name": "Ground", "elevation": 1000, "objects": [
      {"type": 24, "class": "Walls", "polygons": [
        {"points": [[0,0,0],[1000,0,0],[0,1000,0]]},
        {"points": [[1000,0,0],[1000,1000,0],[0,1000,0]]}]},
      {"type": 24, "class": "Walls", "polygons": [
        {"points": [[1000,0,0],[1000,1000,0],[0,1000,0]]}]},
      {"type": "light", "name": "Lamp", "properties": {"54": [0,0,3000], "55": 0}},
      {"type": 68, "class": "Walls", "polygons": [
        {"points": [[0,0,2000],[1000,0,2000],[0,1000,2000]], "class": "Roof"}]}
    ]},
    {"name": "Upper", "elevation": 3000, "objects": [
      {"type": "polygon", "class": "Roof", "points": [[0,0,0],[2000,0,0],[2000,3000,0],[0,3000,0]]}
    ]}
  ]})";

TEST(SceneExport, MeshesReadBackAsCollected) {
    HostedDrawing drawing(kDrawing);
    extractGeometry(*drawing.scene, kModeAllLayers);

    const auto folder =
        std::filesystem::path(::testing::TempDir()) / ("collect_scene_export_" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "scene.qmx").string();
    RootSource root(*drawing.scene);
    writeScene(root, path);

    const qmxread::QmxFile file = qmxread::readQmxFile(path);
    ASSERT_EQ(file.roots.size(), 1u);
    const auto& children = file.roots[0].children;
    // No view: the light's target and light, then Walls and Roof.
    ASSERT_EQ(children.size(), 4u);
    EXPECT_EQ(children[0].type, 16);
    EXPECT_EQ(children[1].type, 4);

    const auto& walls = children[2];
    EXPECT_EQ(walls.type, 8);
    EXPECT_EQ(walls.name, "Walls");
    EXPECT_EQ(walls.id, 1003u);
    ASSERT_TRUE(walls.mesh.has_value());
    // Four welded vertices of the first object, three of the second.
    EXPECT_EQ(walls.mesh->vertexCount, 7);
    ASSERT_EQ(walls.mesh->polygons.size(), 3u);
    EXPECT_EQ(walls.mesh->polygons[0].indices, (std::vector<std::uint32_t>{0, 1, 2}));
    EXPECT_EQ(walls.mesh->polygons[1].indices, (std::vector<std::uint32_t>{1, 3, 2}));
    EXPECT_EQ(walls.mesh->polygons[2].indices, (std::vector<std::uint32_t>{4, 5, 6}));
    // Drawing (1000, 1000, 0) mm on a layer at 1 m: (1, 1, 1) in output axes.
    EXPECT_NEAR(walls.mesh->vertices[3].x, 1.0f, 1e-6);
    EXPECT_NEAR(walls.mesh->vertices[3].y, 1.0f, 1e-6);
    EXPECT_NEAR(walls.mesh->vertices[3].z, 1.0f, 1e-6);

    const auto& roof = children[3];
    EXPECT_EQ(roof.name, "Roof");
    EXPECT_EQ(roof.id, 1004u);
    ASSERT_TRUE(roof.mesh.has_value());
    // The unmerged object's polygon filed by its own class, then Upper's quad at 3 m.
    EXPECT_EQ(roof.mesh->vertexCount, 7);
    ASSERT_EQ(roof.mesh->polygons.size(), 2u);
    EXPECT_EQ(roof.mesh->polygons[1].indices, (std::vector<std::uint32_t>{3, 4, 5, 6}));
    EXPECT_NEAR(roof.mesh->vertices[0].y, 3.0f, 1e-6);  // 2 m high on a layer at 1 m
    EXPECT_NEAR(roof.mesh->vertices[5].x, 2.0f, 1e-6);
    EXPECT_NEAR(roof.mesh->vertices[5].y, 3.0f, 1e-6);
    EXPECT_NEAR(roof.mesh->vertices[5].z, 3.0f, 1e-6);
    EXPECT_TRUE(roof.motions.empty());

    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace pelmora
