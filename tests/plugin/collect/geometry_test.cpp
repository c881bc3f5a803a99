// Conversion of drawing objects into the meshes of their classes: welding
// within one object only, classes of unmerged polygons, skipped polygons,
// output axes and elevation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugin/collect/collection.h"
#include "plugin/collect/geometry.h"
#include "plugin/collect/vertex_merger.h"
#include "tests/plugin/collect/collect_fixture.h"

namespace pelmora {
namespace {

using collect_test::HostedDrawing;
using collect_test::meshOf;

// Two triangles sharing the edge (1000,0)-(0,1000), in millimetres.
const char* kTriangleA = "[[0,0,0],[1000,0,0],[0,1000,0]]";
const char* kTriangleB = "[[1000,0,0],[1000,1000,0],[0,1000,0]]";

std::string oneLayer(const std::string& objects, const std::string& top = "") {
    return R"({"pelmoraDrawing": 1, "classes": ["None", "Walls", "Roof"],)" + top +
           R"( "layers": [{"name": "L", "objects": [)" + objects + "]}]}";
}

std::vector<std::int32_t> list(std::initializer_list<std::int32_t> values) { return values; }

TEST(ConvertWithMerging, SharedEdgeWithinOneObjectGivesFourVertices) {
    HostedDrawing drawing(oneLayer(std::string(R"({"type": 24, "class": "Walls", "polygons": [{"points": )") +
                                   kTriangleA + R"(}, {"points": )" + kTriangleB + "}]}"));
    extractGeometry(*drawing.scene, kModeVisible);
    const MeshSource* walls = meshOf(*drawing.scene, "Walls");
    ASSERT_NE(walls, nullptr);
    EXPECT_EQ(walls->vertices().count(), 4);
    EXPECT_EQ(walls->polygonCount(), 2);
    EXPECT_EQ(walls->indexList(), list({3, 0, 1, 2, 0, 3, 1, 3, 2, 0}));
    EXPECT_EQ(drawing.host.leakedTemporaries(), 0);
}

TEST(ConvertWithMerging, SameTrianglesFromTwoObjectsGiveSixVertices) {
    HostedDrawing drawing(oneLayer(std::string(R"({"type": 34, "class": "Walls", "polygons": [{"points": )") +
                                   kTriangleA + R"(}]}, {"type": 34, "class": "Walls", "polygons": [{"points": )" +
                                   kTriangleB + "}]}"));
    extractGeometry(*drawing.scene, kModeVisible);
    const MeshSource* walls = meshOf(*drawing.scene, "Walls");
    ASSERT_NE(walls, nullptr);
    EXPECT_EQ(walls->vertices().count(), 6);
    // The second object's indices continue after the first object's vertices.
    EXPECT_EQ(walls->indexList(), list({3, 0, 1, 2, 0, 3, 3, 4, 5, 0}));
}

TEST(ConvertWithMerging, AllPolygonsGoToTheObjectsOwnClass) {
    HostedDrawing drawing(oneLayer(std::string(R"({"type": 40, "class": "Walls", "polygons": [{"points": )") +
                                   kTriangleA + R"(, "class": "Roof"}, {"points": )" + kTriangleB + "}]}"));
    extractGeometry(*drawing.scene, kModeVisible);
    ASSERT_EQ(drawing.scene->meshes.size(), 1u);
    EXPECT_EQ(meshOf(*drawing.scene, "Walls")->polygonCount(), 2);
}

TEST(ConvertWithMerging, ObjectWithoutPolygonsStillCreatesItsMesh) {
    HostedDrawing drawing(oneLayer(R"({"type": 71, "class": "Roof", "polygons": []},
                                     {"type": 71, "class": "Walls"})"));
    extractGeometry(*drawing.scene, kModeVisible);
    // An empty temporary group gives an empty mesh; no temporary object gives none.
    ASSERT_EQ(drawing.scene->meshes.size(), 1u);
    const MeshSource* roof = meshOf(*drawing.scene, "Roof");
    ASSERT_NE(roof, nullptr);
    EXPECT_EQ(roof->vertices().count(), 0);
    EXPECT_EQ(roof->polygonCount(), 0);
    EXPECT_TRUE(roof->indexList().empty());
    EXPECT_EQ(drawing.host.leakedTemporaries(), 0);
}

TEST(ConvertWithMerging, QuadOfNewCornersInFirstSeenOrder) {
    HostedDrawing drawing(
        oneLayer(R"({"type": 84, "polygons": [{"points": [[0,0,0],[1000,0,0],[1000,1000,0],[0,1000,0]]}]})"));
    extractGeometry(*drawing.scene, kModeVisible);
    ASSERT_EQ(drawing.scene->meshes.size(), 1u);
    EXPECT_EQ(drawing.scene->meshes[0]->indexList(), list({4, 0, 1, 2, 3, 0}));
}

TEST(ConvertWithoutMerging, PolygonsKeepTheirVerticesAndTheirOwnClass) {
    HostedDrawing drawing(oneLayer(std::string(R"({"type": 68, "class": "Walls", "polygons": [{"points": )") +
                                   kTriangleA + R"(, "class": "Roof"}, {"points": )" + kTriangleB + "}]}"));
    extractGeometry(*drawing.scene, kModeVisible);
    const MeshSource* roof = meshOf(*drawing.scene, "Roof");
    const MeshSource* walls = meshOf(*drawing.scene, "Walls");
    ASSERT_NE(roof, nullptr);
    ASSERT_NE(walls, nullptr);
    EXPECT_EQ(drawing.scene->meshes[0].get(), roof);  // created in the order the polygons were read
    EXPECT_EQ(roof->indexList(), list({3, 0, 1, 2, 0}));
    EXPECT_EQ(walls->indexList(), list({3, 0, 1, 2, 0}));
    EXPECT_EQ(roof->vertices().count() + walls->vertices().count(), 6);
}

TEST(ConvertWithoutMerging, SharedEdgeIsNotWelded) {
    HostedDrawing drawing(oneLayer(std::string(R"({"type": 89, "polygons": [{"points": )") + kTriangleA +
                                   R"(}, {"points": )" + kTriangleB + "}]}"));
    extractGeometry(*drawing.scene, kModeVisible);
    ASSERT_EQ(drawing.scene->meshes.size(), 1u);
    EXPECT_EQ(drawing.scene->meshes[0]->vertices().count(), 6);
    EXPECT_EQ(drawing.scene->meshes[0]->indexList(), list({3, 0, 1, 2, 0, 3, 3, 4, 5, 0}));
}

TEST(ConvertThroughHost, NestedGroupOfATemporaryGroupIsNotRead) {
    HostedDrawing drawing(oneLayer(std::string(R"({"type": 24, "polygons": [{"points": )") + kTriangleA +
                                   R"(}, {"members": [{"points": )" + kTriangleB + "}]}]}"));
    extractGeometry(*drawing.scene, kModeVisible);
    ASSERT_EQ(drawing.scene->meshes.size(), 1u);
    EXPECT_EQ(drawing.scene->meshes[0]->polygonCount(), 1);
}

TEST(ConvertThroughHost, PolygonsWithoutVertexListOrTooFewVerticesAreSkipped) {
    HostedDrawing drawing(oneLayer(std::string(R"({"type": 83, "polygons": [
        {"points": )") + kTriangleA +
                                   R"(, "vertexData": false},
        {"points": [[0,0,0],[1000,0,0]]},
        {"points": )" + kTriangleB +
                                   "}]}"));
    extractGeometry(*drawing.scene, kModeVisible);
    ASSERT_EQ(drawing.scene->meshes.size(), 1u);
    EXPECT_EQ(drawing.scene->meshes[0]->polygonCount(), 1);
}

TEST(ReadDirectPolygon, OpenOrShortPolygonsAreSkipped) {
    HostedDrawing drawing(oneLayer(std::string(R"({"type": "polygon", "closed": false, "points": )") + kTriangleA +
                                   R"(}, {"type": "polygon", "points": [[0,0,0],[5,5,5]]},
                                      {"type": "polygon", "vertexData": false, "points": )" +
                                   kTriangleA + "}"));
    extractGeometry(*drawing.scene, kModeVisible);
    EXPECT_TRUE(drawing.scene->meshes.empty());
}

// The largest count a polygon's 16-bit vertex count can give: every vertex is
// read once, merged or not, and the walk over them ends.
std::string widestPolygonPoints() {
    std::string points = "[";
    for (int i = 0; i < 32767; ++i) {
        if (i > 0) points += ",";
        points += '[';
        points += std::to_string(i);
        points += ',';
        points += std::to_string((i % 2) * 1000);
        points += ",0]";
    }
    return points + "]";
}

void expectOnePolygonOf32767(const MeshSource& mesh) {
    EXPECT_EQ(mesh.polygonCount(), 1);
    EXPECT_EQ(mesh.vertices().count(), 32767);
    const auto& indices = mesh.indexList();
    ASSERT_EQ(indices.size(), 32767u + 2u);
    EXPECT_EQ(indices.front(), 32767);
    EXPECT_EQ(indices[1], 0);
    EXPECT_EQ(indices[32767], 32766);
    EXPECT_EQ(indices.back(), 0);
    const Vec3f last = mesh.vertices().at(32766);
    EXPECT_NEAR(last.x, 32.766f, 1e-6);
    EXPECT_NEAR(last.z, 0.0f, 1e-6);
}

TEST(PolygonOfMaximalVertexCount, ReadDirectlyEndsAfterTheLastVertex) {
    HostedDrawing drawing(oneLayer(R"({"type": "polygon", "points": )" + widestPolygonPoints() + "}"));
    extractGeometry(*drawing.scene, kModeVisible);
    ASSERT_EQ(drawing.scene->meshes.size(), 1u);
    expectOnePolygonOf32767(*drawing.scene->meshes[0]);
}

TEST(PolygonOfMaximalVertexCount, MergedAndUnmergedEndAfterTheLastVertex) {
    for (const char* type : {"24", "68"}) {
        SCOPED_TRACE(type);
        HostedDrawing drawing(oneLayer(std::string(R"({"type": )") + type + R"(, "polygons": [{"points": )" +
                                       widestPolygonPoints() + "}]}"));
        extractGeometry(*drawing.scene, kModeVisible);
        ASSERT_EQ(drawing.scene->meshes.size(), 1u);
        expectOnePolygonOf32767(*drawing.scene->meshes[0]);
        EXPECT_EQ(drawing.host.leakedTemporaries(), 0);
    }
}

TEST(OutputVertex, MetresAxesAndElevation) {
    HostedDrawing drawing(R"({"pelmoraDrawing": 1, "hostVersion": 13, "layers": [{"name": "L", "elevation": 10000,
        "objects": [{"type": "polygon", "points": [[1000,2000,3000],[0,0,0],[1000,0,0]]}]}]})");
    extractGeometry(*drawing.scene, kModeVisible);
    ASSERT_EQ(drawing.scene->meshes.size(), 1u);
    const Vec3f v = drawing.scene->meshes[0]->vertices().at(0);
    EXPECT_NEAR(v.x, 1.0f, 1e-6);
    EXPECT_NEAR(v.y, 13.0f, 1e-6);
    EXPECT_NEAR(v.z, 2.0f, 1e-6);
}

TEST(OutputVertex, DocumentUnitsAreConvertedToMetres) {
    // Inches: the host gives 1000 mm as 39.37 inches, written back as 1 metre.
    HostedDrawing drawing(R"({"pelmoraDrawing": 1, "unitsPerInch": 1, "layers": [{"name": "L",
        "objects": [{"type": "polygon", "points": [[1000,2000,3000],[0,0,0],[1000,0,0]]}]}]})");
    extractGeometry(*drawing.scene, kModeVisible);
    ASSERT_EQ(drawing.scene->meshes.size(), 1u);
    const Vec3f v = drawing.scene->meshes[0]->vertices().at(0);
    EXPECT_NEAR(v.x, 1.0f, 1e-5);
    EXPECT_NEAR(v.y, 3.0f, 1e-5);
    EXPECT_NEAR(v.z, 2.0f, 1e-5);
}

TEST(MeshFor, ManyClassesKeepTheirOrderAndOneMeshEach) {
    std::string classes = R"("None")";
    std::string objects;
    for (int c = 1; c <= 150; ++c) classes += ",\"C" + std::to_string(c) + "\"";
    // Classes used in a scrambled order, each several times.
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 150; ++i) {
            const int c = 1 + (i * 47) % 150;
            if (!objects.empty()) objects += ",";
            objects += R"({"type": "polygon", "class": "C)" + std::to_string(c) + R"(", "points": )" + kTriangleA + "}";
        }
    }
    HostedDrawing drawing(R"({"pelmoraDrawing": 1, "classes": [)" + classes +
                          R"(], "layers": [{"name": "L", "objects": [)" + objects + "]}]}");
    extractGeometry(*drawing.scene, kModeVisible);
    ASSERT_EQ(drawing.scene->meshes.size(), 150u);
    for (int i = 0; i < 150; ++i) {
        const auto& mesh = drawing.scene->meshes[static_cast<std::size_t>(i)];
        std::string expected = "C";
        expected += std::to_string(1 + (i * 47) % 150);
        EXPECT_EQ(collect_test::classNameOf(mesh->classIndex()), expected);
        EXPECT_EQ(mesh->polygonCount(), 3);
        EXPECT_EQ(mesh->vertices().count(), 9);
    }
}

}  // namespace
}  // namespace pelmora
