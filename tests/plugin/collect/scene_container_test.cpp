// The scene container: the busy cursor turned by tick, and freeing what a pass
// collected, whole or aborted.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "plugin/collect/mesh_source.h"
#include "plugin/collect/scene_container.h"
#include "plugin/payloads/light_source.h"
#include "tests/plugin/collect/collect_fixture.h"

namespace pelmora {
namespace {

struct CursorChange {
    int frame;
    std::int32_t ticks;
};
std::vector<CursorChange> g_changes;
void recordCursor(int frame, std::int32_t ticks, void*) { g_changes.push_back({frame, ticks}); }

class BusyCursor : public ::testing::Test {
protected:
    void SetUp() override {
        g_changes.clear();
        hooks_.busyCursor = &recordCursor;
    }
    PelmoraPortableHooks hooks_{};
};

TEST_F(BusyCursor, NoChangeBefore256Ticks) {
    collect_test::HookScope installed(hooks_);
    SceneContainer scene(nullptr);
    scene.lastQuarter = -1;  // any clock reading is a new quarter
    for (int i = 0; i < 255; ++i) scene.tick();
    EXPECT_TRUE(g_changes.empty());
    EXPECT_EQ(scene.tickCount, 255);
    scene.tick();
    ASSERT_EQ(g_changes.size(), 1u);
    EXPECT_EQ(g_changes[0].frame, 0);
    EXPECT_EQ(g_changes[0].ticks, 256);
    EXPECT_EQ(scene.cursorIndex, 1);
}

TEST_F(BusyCursor, FramesTurnInOrderOnlyOnEvery256thTickAndOncePerQuarter) {
    collect_test::HookScope installed(hooks_);
    SceneContainer scene(nullptr);
    // Tick until five changes were seen (a little over a second of wall time).
    while (g_changes.size() < 5) scene.tick();
    const int expectedFrames[] = {0, 1, 2, 3, 0};  // the fifth change shows the first frame again
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(g_changes[i].frame, expectedFrames[i]);
        EXPECT_EQ(g_changes[i].ticks % 256, 0);
        if (i > 0) { EXPECT_GT(g_changes[i].ticks, g_changes[i - 1].ticks); }
    }
    // Far more ticks than changes: the clock gate held the cursor between quarters.
    EXPECT_GT(scene.tickCount, 5 * 256);
    EXPECT_GT(scene.lastQuarter, 0);
}

TEST(SceneContainerLifetime, FreesLightsAndMeshesCollected) {
    auto scene = std::make_unique<SceneContainer>(nullptr);
    int lightObject = 0;
    scene->lights.push_back(std::make_unique<LightSource>(&lightObject, 0.0, 2));
    scene->meshes.push_back(std::make_unique<MeshSource>());
    for (int i = 0; i < 3000; ++i) scene->meshes.back()->addVertex(Vec3f{1.0f, 2.0f, 3.0f});
    EXPECT_EQ(scene->elevation, 0.0);
    EXPECT_EQ(scene->library, nullptr);
    scene.reset();  // the sanitizer's leak check sees anything left behind
}

// The first mesh of the class by a scan, as the index must answer.
MeshSource* firstMeshOf(const SceneContainer& scene, std::int32_t classIndex) {
    for (const auto& mesh : scene.meshes)
        if (mesh->classIndex() == classIndex) return mesh.get();
    return nullptr;
}

void expectEveryClassFound(SceneContainer& scene, std::int32_t classes) {
    for (std::int32_t c = 0; c <= classes; ++c) EXPECT_EQ(scene.findMesh(c), firstMeshOf(scene, c)) << "class " << c;
}

TEST(SceneContainerMeshIndex, FindMeshGivesTheFirstOfAClassAsAScanWould) {
    SceneContainer scene(nullptr);
    std::mt19937 random(22);
    std::uniform_int_distribution<std::int32_t> pick(1, 300);
    // Lookups between appends, classes repeated (a second mesh of a class must not win).
    for (int i = 0; i < 2000; ++i) {
        const std::int32_t c = pick(random);
        ASSERT_EQ(scene.findMesh(c), firstMeshOf(scene, c)) << "step " << i;
        scene.meshes.push_back(std::make_unique<MeshSource>());
        scene.meshes.back()->init(c, nullptr);
    }
    expectEveryClassFound(scene, 301);
    // A list changed other than by appending: the index follows it.
    scene.meshes.erase(scene.meshes.begin());
    expectEveryClassFound(scene, 301);
    scene.meshes.erase(scene.meshes.begin() + 100, scene.meshes.end());
    expectEveryClassFound(scene, 301);
}

}  // namespace
}  // namespace pelmora
