// The mesh tree source: vertex pages, the index list, taking over a weld, the
// mesh node it describes (id, name, payload) and its material and texture items.
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "plugin/collect/mesh_source.h"
#include "plugin/collect/vertex_merger.h"
#include "plugin/collect/vertex_pages.h"
#include "plugin/payloads/payload_material.h"
#include "plugin/payloads/payload_mesh.h"
#include "plugin/payloads/payload_texture.h"
#include "plugin/payloads/scene_counters.h"
#include "plugin/templates/template_library.h"
#include "tests/plugin/collect/collect_fixture.h"

namespace pelmora {
namespace {

using collect_test::HostedDrawing;

template <class T>
T readAt(const std::uint8_t* bytes, std::int32_t offset) {
    T value{};
    std::memcpy(&value, bytes + offset, sizeof value);
    return value;
}

TEST(VertexPagesSlots, PagesOfTenTwentyFour) {
    VertexPages pages;
    for (int i = 0; i < 1024; ++i) pages.append(Vec3f{static_cast<float>(i), 0.0f, 0.0f});
    EXPECT_EQ(pages.pageCount(), 1u);  // vertex 1023 is the last slot of the first page
    pages.append(Vec3f{1024.0f, 1.0f, 2.0f});
    EXPECT_EQ(pages.pageCount(), 2u);  // vertex 1024 opens the second
    EXPECT_EQ(pages.count(), 1025);
    EXPECT_EQ(pages.at(1023).x, 1023.0f);
    EXPECT_EQ(pages.at(1024).z, 2.0f);

    std::vector<float> flat(static_cast<std::size_t>(pages.count()) * 3);
    pages.copyTo(flat.data());
    EXPECT_EQ(flat[1023 * 3], 1023.0f);
    EXPECT_EQ(flat[1024 * 3 + 1], 1.0f);
}

TEST(VertexPagesSlots, PutCreatesOnlyThePageTouched) {
    VertexPages pages;
    pages.put(5000, Vec3f{1.0f, 2.0f, 3.0f});
    EXPECT_EQ(pages.pageCount(), 1u);
    EXPECT_EQ(pages.count(), 0);  // the count is held apart
    pages.grow(5001);
    EXPECT_EQ(pages.at(5000).y, 2.0f);
    EXPECT_EQ(pages.at(10).x, 0.0f);
    std::vector<float> flat(5001 * 3, -1.0f);
    pages.copyTo(flat.data());
    EXPECT_EQ(flat[0], 0.0f);
    EXPECT_EQ(flat[5000 * 3 + 2], 3.0f);
}

TEST(VertexPagesSlots, EverySlotReadsAsLastWrittenOrZeroWhateverTheOrder) {
    VertexPages pages;
    std::vector<Vec3f> reference;  // every slot up to the count, a plain array
    std::mt19937 random(22);
    std::uniform_int_distribution<int> step(0, 9);
    std::uniform_int_distribution<std::int32_t> anywhere(0, 4200);
    for (int i = 0; i < 3000; ++i) {
        const Vec3f v{static_cast<float>(i), static_cast<float>(-i), 0.5f};
        if (step(random) < 7) {  // mostly appends, as a mesh grows
            pages.append(v);
            reference.resize(static_cast<std::size_t>(pages.count()));
            reference.back() = v;
            continue;
        }
        const std::int32_t at = anywhere(random);  // a weld's put, also into pages beyond the count
        pages.put(at, v);
        if (reference.size() <= static_cast<std::size_t>(at)) reference.resize(static_cast<std::size_t>(at) + 1);
        reference[static_cast<std::size_t>(at)] = v;
        if (pages.count() <= at) pages.grow(at + 1 - pages.count());
    }
    ASSERT_EQ(static_cast<std::size_t>(pages.count()), reference.size());
    std::vector<float> flat(reference.size() * 3, -1.0f);
    pages.copyTo(flat.data());
    for (std::size_t i = 0; i < reference.size(); ++i) {
        ASSERT_EQ(pages.at(static_cast<std::int32_t>(i)), reference[i]) << i;
        ASSERT_EQ((Vec3f{flat[3 * i], flat[3 * i + 1], flat[3 * i + 2]}), reference[i]) << i;
    }
}

TEST(MeshSourcePolygons, TriangleLayoutAndTakingOverAWeld) {
    MeshSource mesh;
    for (int i = 0; i < 7; ++i) mesh.addVertex(Vec3f{static_cast<float>(i), 0.0f, 0.0f});
    const std::size_t start = mesh.indexList().size();
    mesh.beginPolygon(3);
    mesh.addVertex(Vec3f{7.0f, 0.0f, 0.0f});
    mesh.addVertex(Vec3f{8.0f, 0.0f, 0.0f});
    mesh.addVertex(Vec3f{9.0f, 0.0f, 0.0f});
    mesh.endPolygon();
    EXPECT_EQ(std::vector<std::int32_t>(mesh.indexList().begin() + static_cast<long>(start), mesh.indexList().end()),
              (std::vector<std::int32_t>{3, 7, 8, 9, 0}));
    EXPECT_EQ(mesh.vertices().count(), 10);

    VertexMerger merger;
    merger.beginPolygon(4);
    for (const Vec3f& v : {Vec3f{0, 0, 5}, Vec3f{1, 0, 5}, Vec3f{1, 1, 5}, Vec3f{0, 1, 5}}) merger.addVertex(v);
    mesh.appendMerged(merger);
    const auto& list = mesh.indexList();
    ASSERT_GE(list.size(), 6u);
    EXPECT_EQ(std::vector<std::int32_t>(list.end() - 6, list.end()), (std::vector<std::int32_t>{4, 10, 11, 12, 13, 0}));
    EXPECT_EQ(mesh.vertices().count(), 14);
    EXPECT_EQ(mesh.polygonCount(), 2);
    EXPECT_EQ(mesh.vertices().at(12).y, 1.0f);
    EXPECT_EQ(mesh.vertices().at(13).z, 5.0f);
}

// Writes template files and an id table into a fresh folder and loads them.
class TemplateFolder {
public:
    TemplateFolder() {
        folder_ = std::filesystem::path(::testing::TempDir()) /
                  ("collect_templates_" + std::to_string(::getpid()) + "_" + std::to_string(++folderCount_));
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    ~TemplateFolder() { std::filesystem::remove_all(folder_); }

    void addTemplate(TemplateLibrary& library, const std::string& name, const std::string& body) {
        const auto path = folder_ / (name + ".qmt");
        std::ofstream(path) << "VELTRAMOX \"" << name << "\" Script File\n" << body;
        library.readTemplateFile(path.string(), name + ".qmt");
    }
    void setIdTable(TemplateLibrary& library, const std::string& text) {
        const auto path = folder_ / "_id_table.txt";
        std::ofstream(path) << text;
        library.readIdTable(path.string());
    }

private:
    // Distinct per folder and per process: test programs may run side by side.
    static inline int folderCount_ = 0;
    std::filesystem::path folder_;
};

const char* kDrawingClasses = R"({"pelmoraDrawing": 1,
    "classes": ["None", "Brick", "Glass", "Moss", "Steel", "Plain"], "layers": []})";

const char* kBrickBody =
    "motion create motionMaterial\n"
    "diffuse 255 128 1\n"
    "end\n"
    "motion create motionTexture\n"
    "filename \"brick.png\"\n"
    "mappingtype 3\n"
    "size 2000 1000\n"
    "end\n"
    "motion create motionTexture\n"
    "filename \"mortar.png\"\n"
    "end\n";

const char* kMossBody =
    "motion create motionTexture\n"
    "filename \"moss.png\"\n"
    "end\n"
    "motion create \"motionTexture\"\n"
    "filename \"lichen.png\"\n"
    "end\n";

class MeshSourceNodes : public ::testing::Test {
protected:
    void SetUp() override {
        drawing_ = std::make_unique<HostedDrawing>(kDrawingClasses);
        folder_.addTemplate(library_, "Brick", kBrickBody);
        folder_.addTemplate(library_, "Moss", kMossBody);
        folder_.addTemplate(library_, "Steel", "motion create motionMaterial\nend\n");
        folder_.setIdTable(library_, "Glass\t2500\nSteel\t0\nPlain\t-4\n");
        nextMeshNodeId = kFirstMeshNodeId;
    }

    MeshSource& mesh(std::int32_t classIndex) {
        meshes_.push_back(std::make_unique<MeshSource>());
        meshes_.back()->init(classIndex, &library_);
        return *meshes_.back();
    }

    TemplateFolder folder_;
    TemplateLibrary library_;
    std::unique_ptr<HostedDrawing> drawing_;
    std::vector<std::unique_ptr<MeshSource>> meshes_;
};

TEST_F(MeshSourceNodes, BindsTemplateAndTableIdByClass) {
    EXPECT_NE(mesh(2).materialTemplate(), nullptr);  // Brick
    EXPECT_EQ(mesh(2).tableId(), 0);
    EXPECT_EQ(mesh(3).materialTemplate(), nullptr);  // Glass: no template
    EXPECT_EQ(mesh(3).tableId(), 2500);
    EXPECT_EQ(mesh(1).materialTemplate(), nullptr);
}

TEST_F(MeshSourceNodes, IdsFromTheTableOrTheCounterInDescribeOrder) {
    MeshSource& steel = mesh(5);  // table id 0: counter
    MeshSource& glass = mesh(3);  // table id 2500
    MeshSource& plain = mesh(6);  // table id -4: counter
    MeshSource& none = mesh(1);   // no entry: counter
    NodeRecord node;
    plain.describe(false, node);
    EXPECT_EQ(node.id, 1003u);
    node.release();
    glass.describe(false, node);
    EXPECT_EQ(node.id, 2500u);
    node.release();
    none.describe(false, node);
    EXPECT_EQ(node.id, 1004u);
    node.release();
    steel.describe(false, node);
    EXPECT_EQ(node.id, 1005u);
    EXPECT_EQ(nextMeshNodeId, 1006);
}

TEST_F(MeshSourceNodes, MeshNodeCarriesNameVerticesAndPolygons) {
    MeshSource& glass = mesh(3);
    glass.beginPolygon(3);
    glass.addVertex(Vec3f{1.0f, 2.0f, 3.0f});
    glass.addVertex(Vec3f{4.0f, 5.0f, 6.0f});
    glass.addVertex(Vec3f{7.0f, 8.0f, 9.0f});
    glass.endPolygon();
    NodeRecord node;
    glass.describe(false, node);
    EXPECT_STREQ(node.name, "Glass");
    EXPECT_EQ(node.type, 8);
    namespace layout = mesh_payload::current;
    EXPECT_EQ(node.dataFormat, layout::kFormat);
    ASSERT_NE(node.data, nullptr);
    ASSERT_GE(node.dataSize, layout::kHeaderSize + 3 * 12 + 5 * 4);
    EXPECT_EQ(readAt<std::int32_t>(node.data, layout::kVertexCount), 3);
    EXPECT_EQ(readAt<std::int32_t>(node.data, layout::kPolygonCount), 1);
    EXPECT_EQ(readAt<std::int32_t>(node.data, layout::kIndexBytes), 20);
    EXPECT_EQ(readAt<std::int32_t>(node.data, layout::kMappingType), 0);
    EXPECT_FLOAT_EQ(readAt<float>(node.data, layout::kSmoothingAngle), 30.0f * mesh_payload::kDegreesToRadians);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(readAt<float>(node.data, layout::kHeaderSize + 4 * i), static_cast<float>(i + 1));
    }
    const std::int32_t indices = layout::kHeaderSize + 36;
    const std::int32_t expected[] = {3, 0, 1, 2, 0};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(readAt<std::int32_t>(node.data, indices + 4 * i), expected[i]);
    // describe changes nothing in the mesh itself.
    EXPECT_EQ(glass.vertices().count(), 3);
    EXPECT_EQ(glass.indexList().size(), 5u);
}

TEST_F(MeshSourceNodes, EmptyMeshIsStillDescribed) {
    MeshSource& none = mesh(1);
    NodeRecord node;
    none.describe(false, node);
    EXPECT_EQ(node.type, 8);
    EXPECT_STREQ(node.name, "None");
    EXPECT_EQ(node.id, 1003u);
    ASSERT_NE(node.data, nullptr);
    EXPECT_EQ(readAt<std::int32_t>(node.data, mesh_payload::current::kVertexCount), 0);
    EXPECT_EQ(readAt<std::int32_t>(node.data, mesh_payload::current::kPolygonCount), 0);
    EXPECT_EQ(readAt<std::int32_t>(node.data, mesh_payload::current::kIndexBytes), 0);
}

TEST_F(MeshSourceNodes, FirstTexturesMappingTypeGoesToTheMeshNode) {
    MeshSource& brick = mesh(2);
    NodeRecord node;
    brick.describe(false, node);
    EXPECT_EQ(readAt<std::int32_t>(node.data, mesh_payload::current::kMappingType), 3);
}

TEST_F(MeshSourceNodes, MaterialThenTexturesInFileOrder) {
    MeshSource& brick = mesh(2);
    ASSERT_EQ(brick.motionCount(), 3u);
    MotionRecord record;
    ASSERT_TRUE(brick.motion(0, false, record));
    EXPECT_STREQ(record.name, "motionMaterial");
    ASSERT_NE(record.data, nullptr);
    EXPECT_FLOAT_EQ(readAt<float>(record.data, material_payload::kDiffuse), 1.0f);
    EXPECT_NEAR(readAt<float>(record.data, material_payload::kDiffuse + 4), 0.50196f, 1e-5);
    record.release();
    record.reset(false);
    ASSERT_TRUE(brick.motion(1, false, record));
    EXPECT_STREQ(record.name, "motionTexture");
    ASSERT_NE(record.data, nullptr);
    EXPECT_STREQ(reinterpret_cast<const char*>(record.data + texture_payload::current::kFileName), "brick.png");
    EXPECT_FLOAT_EQ(readAt<float>(record.data, texture_payload::current::kSizeXY), 2.0f);
    EXPECT_FLOAT_EQ(readAt<float>(record.data, texture_payload::current::kSizeXY + 4), 1.0f);
    record.release();
    record.reset(false);
    ASSERT_TRUE(brick.motion(2, false, record));
    EXPECT_STREQ(reinterpret_cast<const char*>(record.data + texture_payload::current::kFileName), "mortar.png");
}

TEST_F(MeshSourceNodes, TexturesWithoutMaterialStartAtIndexZero) {
    MeshSource& moss = mesh(4);
    ASSERT_EQ(moss.motionCount(), 2u);
    MotionRecord record;
    ASSERT_TRUE(moss.motion(0, false, record));
    EXPECT_STREQ(record.name, "motionTexture");
    EXPECT_STREQ(reinterpret_cast<const char*>(record.data + texture_payload::current::kFileName), "moss.png");
    record.release();
    record.reset(false);
    ASSERT_TRUE(moss.motion(1, false, record));
    EXPECT_STREQ(reinterpret_cast<const char*>(record.data + texture_payload::current::kFileName), "lichen.png");
    record.release();
    record.reset(false);
    // Past the list: nothing, instead of reading beyond it.
    EXPECT_FALSE(moss.motion(2, false, record));
}

TEST_F(MeshSourceNodes, MaterialOnlyAndNoTemplate) {
    MeshSource& steel = mesh(5);
    EXPECT_EQ(steel.motionCount(), 1u);
    MotionRecord record;
    EXPECT_TRUE(steel.motion(0, false, record));
    EXPECT_STREQ(record.name, "motionMaterial");
    MeshSource& glass = mesh(3);
    EXPECT_EQ(glass.motionCount(), 0u);
}

}  // namespace
}  // namespace pelmora
