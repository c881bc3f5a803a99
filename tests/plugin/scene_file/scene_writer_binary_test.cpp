#include <cstring>

#include <gtest/gtest.h>

#include "tests/plugin/scene_file/writer_fixture.h"

namespace pelmora {
namespace {

using namespace scene_test;

class BinaryWriterTest : public WriterTest {};

TEST_F(BinaryWriterTest, RootOnlyIsBraceNineteenValuesBrace) {
    FakeSource root(ledger, 1000, 1, "root");
    WatchedScene scene(&root, ledger);
    SceneWriter writer;
    EXPECT_EQ(writer.write(path.c_str(), &scene), 1);
    EXPECT_EQ(scene.finishCalls, 1);
    EXPECT_EQ(scene.finishResult, 1);

    // Spelled out once in full.
    ExpectedBinary expected;
    expected.str("BINARY")
        .str("version")
        .str("2.02.2010")
        .str("machine")
        .str("WINDOWS")
        .str("client")
        .str("VectorWorks2008")
        .str("SubFormat")
        .i32(1048)
        .str("ITFlags")
        .i32(1)
        .str("FPS")
        .i32(24)
        .str("maxTime")
        .i32(8000)
        .str("CheckSum");
    expected.str("{")
        .raw({0x48, 0x09, 0xF6, 0xFF})  // marker
        .i32(5)
        .i32(1000)
        .i32(0)
        .i32(0)
        .str("root")
        .str("")
        .i32(1)
        .raw(std::vector<std::uint8_t>(12, 0))  // vecA
        .i32(1)
        .i32(-1)
        .i32(-1)
        .i32(0)
        .raw(std::vector<std::uint8_t>(36, 0))  // vecB, vecC, vecD
        .i32(-1)
        .i32(1)
        .i32(0);
    expected.str("}");
    EXPECT_EQ(fileBytes(path), expected.bytes());
    EXPECT_EQ(scene.releaseNodeCalls, 1);
}

TEST_F(BinaryWriterTest, NodeWithPayloadCarriesItsByteSum) {
    FakeSource root(ledger, 1000, 8, "");
    root.payload = {1, 200, 3, 255};
    root.dataFormat = 2;
    WatchedScene scene(&root, ledger);
    SceneWriter writer;
    EXPECT_EQ(writer.write(path.c_str(), &scene), 1);

    ExpectedBinary expected;
    currentHeader(expected);
    expected.str("{");
    currentNodeValues(expected, nodeValues(1000, "", 8, {1, 200, 3, 255}, 2));
    expected.str("}");
    // The byte-sum 459 and the unnamed node's name, seen directly.
    const std::vector<std::uint8_t>& bytes = expected.bytes();
    ASSERT_GE(bytes.size(), 14u);
    EXPECT_EQ(fileBytes(path), bytes);
    const std::vector<std::uint8_t> tail(bytes.end() - 10, bytes.end());
    EXPECT_EQ(tail, (std::vector<std::uint8_t>{0xCB, 0x01, 0, 0, 1, 200, 3, 255, '}', 0}));
    expectAllReleased();
    EXPECT_EQ(ledger.handedOut.size(), 1u);
}

TEST_F(BinaryWriterTest, WithoutChecksumsNeitherKeyNorSums) {
    FakeSource root(ledger, 1000, 1, "root");
    root.payload = {9, 9};
    MotionPlan motion;
    motion.payload = {4};
    root.motions = {motion};
    WatchedScene scene(&root, ledger);
    SceneWriter writer;
    writer.checksums = false;
    EXPECT_EQ(writer.write(path.c_str(), &scene), 1);

    ExpectedBinary expected;
    currentHeader(expected, false);
    expected.str("{");
    currentNodeValues(expected, nodeValues(1000, "root", 1, {9, 9}), false);
    currentMotion(expected, motionValues("motionTranslate", {4}), false);
    expected.str("}");
    EXPECT_EQ(fileBytes(path), expected.bytes());
    expectAllReleased();
}

TEST_F(BinaryWriterTest, MotionItemsThenChildrenWithNullChildSkipped) {
    FakeSource root(ledger, 1000, 1, "root");
    FakeSource camera(ledger, 1001, 2, "camera");
    FakeSource target(ledger, 1002, 16, "target");
    FakeSource mesh(ledger, 1003, 8, "mesh");
    mesh.payload = {10, 20, 30};
    MotionPlan translate;
    translate.payload = {0, 0, 128, 63};
    MotionPlan material;
    material.name = "motionMaterial";
    material.dataFormat = 3;
    material.payload = {1, 2};
    camera.motions = {translate, material};
    camera.children = {&target};
    root.children = {&camera, nullptr, &mesh};
    WatchedScene scene(&root, ledger);
    SceneWriter writer;
    EXPECT_EQ(writer.write(path.c_str(), &scene), 1);

    ExpectedBinary expected;
    currentHeader(expected);
    expected.str("{");
    currentNodeValues(expected, nodeValues(1000, "root", 1));
    expected.str("{");
    currentNodeValues(expected, nodeValues(1001, "camera", 2));
    currentMotion(expected, motionValues("motionTranslate", {0, 0, 128, 63}));
    currentMotion(expected, motionValues("motionMaterial", {1, 2}, 3));
    expected.str("{");
    currentNodeValues(expected, nodeValues(1002, "target", 16));
    expected.str("}");
    expected.str("}");
    expected.str("{");
    currentNodeValues(expected, nodeValues(1003, "mesh", 8, {10, 20, 30}));
    expected.str("}");
    expected.str("}");
    EXPECT_EQ(fileBytes(path), expected.bytes());
    expectAllReleased();
    EXPECT_EQ(ledger.handedOut.size(), 3u);
    EXPECT_EQ(scene.releaseNodeCalls, 4);
    EXPECT_EQ(scene.releaseMotionCalls, 2);
}

TEST_F(BinaryWriterTest, SkippedLastMotionItemStillCountsAsWritten) {
    FakeSource root(ledger, 1000, 1, "root");
    FakeSource child(ledger, 1001, 2, "child");
    MotionPlan written;
    written.payload = {7};
    MotionPlan skipped;
    skipped.present = false;
    skipped.payload = {8, 8};  // attached, then reported as nothing: still released
    root.motions = {written, skipped};
    root.children = {&child};
    WatchedScene scene(&root, ledger);
    SceneWriter writer;
    EXPECT_EQ(writer.write(path.c_str(), &scene), 1);

    ExpectedBinary expected;
    currentHeader(expected);
    expected.str("{");
    currentNodeValues(expected, nodeValues(1000, "root", 1));
    currentMotion(expected, motionValues("motionTranslate", {7}));
    expected.str("{");  // the motion items gave 2, so the children follow
    currentNodeValues(expected, nodeValues(1001, "child", 2));
    expected.str("}");
    expected.str("}");
    EXPECT_EQ(fileBytes(path), expected.bytes());
    expectAllReleased();
    EXPECT_EQ(scene.releaseMotionCalls, 2);
}

TEST_F(BinaryWriterTest, OnlySkippedMotionItems) {
    FakeSource root(ledger, 1000, 1, "root");
    MotionPlan skipped;
    skipped.present = false;
    root.motions = {skipped, skipped};
    WatchedScene scene(&root, ledger);
    SceneWriter writer;
    EXPECT_EQ(writer.write(path.c_str(), &scene), 1);

    ExpectedBinary expected;
    currentHeader(expected);
    expected.str("{");
    currentNodeValues(expected, nodeValues(1000, "root", 1));
    expected.str("}");
    EXPECT_EQ(fileBytes(path), expected.bytes());
}

TEST_F(BinaryWriterTest, IdsAndAttributesAreWrittenAsTheirBits) {
    FakeSource root(ledger, 0xFFFFFFF0u, 1, "root");
    root.attrA = 0x80000001u;
    root.attrB = 0x40u;
    WatchedScene scene(&root, ledger);
    SceneWriter writer;
    EXPECT_EQ(writer.write(path.c_str(), &scene), 1);

    ExpectedBinary expected;
    currentHeader(expected);
    expected.str("{");
    NodeValues values = nodeValues(0xFFFFFFF0u, "root", 1);
    values.attrA = 0x80000001u;
    values.attrB = 0x40u;
    currentNodeValues(expected, values);
    expected.str("}");
    EXPECT_EQ(fileBytes(path), expected.bytes());
}

// A source that hands a 300-character name past the bounded copy.
class RawNameSource : public TreeSource {
public:
    void describe(bool legacy, NodeRecord& node) override {
        node.fill(legacy, 1000, 1, nullptr);
        std::memset(node.name, 'z', sizeof node.name);  // no terminator at all
    }
};

TEST_F(BinaryWriterTest, ANameWithoutTerminatorIsCutInsideItsArray) {
    RawNameSource root;
    WatchedScene scene(&root, ledger);
    SceneWriter writer;
    EXPECT_EQ(writer.write(path.c_str(), &scene), 1);

    ExpectedBinary expected;
    currentHeader(expected);
    expected.str("{");
    currentNodeValues(expected, nodeValues(1000, std::string(254, 'z'), 1));
    expected.str("}");
    EXPECT_EQ(fileBytes(path), expected.bytes());
}

// Several roots; a null one is passed over.
class TwoRootScene : public WatchedScene {
public:
    TwoRootScene(TreeSource* a, TreeSource* b, PayloadLedger& ledger) : WatchedScene(a, ledger), b_(b) {}
    unsigned rootCount() override { return 3; }
    TreeSource* root(unsigned index) override {
        if (index == 0) return WatchedScene::root(0);
        return index == 2 ? b_ : nullptr;
    }

private:
    TreeSource* b_;
};

TEST_F(BinaryWriterTest, EveryRootIsWrittenAtDepthZero) {
    FakeSource a(ledger, 1000, 1, "a");
    FakeSource b(ledger, 2000, 1, "b");
    TwoRootScene scene(&a, &b, ledger);
    SceneWriter writer;
    EXPECT_EQ(writer.write(path.c_str(), &scene), 1);

    ExpectedBinary expected;
    currentHeader(expected);
    expected.str("{");
    currentNodeValues(expected, nodeValues(1000, "a", 1));
    expected.str("}").str("{");
    currentNodeValues(expected, nodeValues(2000, "b", 1));
    expected.str("}");
    EXPECT_EQ(fileBytes(path), expected.bytes());
}

TEST_F(BinaryWriterTest, WritingAgainReplacesTheFile) {
    FakeSource root(ledger, 1000, 1, "root");
    WatchedScene scene(&root, ledger);
    SceneWriter writer;
    EXPECT_EQ(writer.write(path.c_str(), &scene), 1);
    const auto first = fileBytes(path);
    EXPECT_EQ(writer.write(path.c_str(), &scene), 1);
    EXPECT_EQ(fileBytes(path), first);
    EXPECT_EQ(scene.finishCalls, 2);
}

}  // namespace
}  // namespace pelmora
