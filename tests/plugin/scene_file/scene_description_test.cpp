#include <cstring>

#include <gtest/gtest.h>

#include "plugin/scene_file/scene_description.h"
#include "tests/plugin/scene_file/scene_fakes.h"

namespace pelmora {
namespace {

using scene_test::FakeSource;
using scene_test::MotionPlan;
using scene_test::PayloadLedger;

TEST(SceneDescription, HeaderAnswers) {
    SceneDescription scene;
    char text[kNameArray];
    EXPECT_EQ(scene.begin(), 1);
    EXPECT_EQ(scene.version(false, text), 1);
    EXPECT_STREQ(text, "2.02.2010");
    EXPECT_EQ(scene.version(true, text), 1);
    EXPECT_STREQ(text, "1.25.2002");
    EXPECT_EQ(scene.version(false, nullptr), 0);
    EXPECT_EQ(scene.machine(text), 1);
    EXPECT_STREQ(text, "WINDOWS");
    EXPECT_EQ(scene.client(text), 1);
    EXPECT_STREQ(text, "VectorWorks2008");
    EXPECT_EQ(scene.subFormat(), 1048);
    EXPECT_EQ(scene.itFlags(), 1);
    EXPECT_EQ(scene.fps(), 24);
    EXPECT_EQ(scene.maxTime(), 8000);
    EXPECT_EQ(scene.finish(0), 1);
    EXPECT_EQ(scene.finish(1), 1);
}

TEST(SceneDescription, RootsAndChildren) {
    PayloadLedger ledger;
    FakeSource root(ledger, 1000, 1, "root");
    FakeSource kid(ledger, 1001, 2, "kid");
    root.children = {nullptr, &kid};
    SceneDescription scene(&root);

    EXPECT_EQ(scene.rootCount(), 1u);
    EXPECT_EQ(scene.root(0), &root);
    EXPECT_EQ(scene.root(1), nullptr);
    EXPECT_EQ(scene.childCount(&root), 2u);
    EXPECT_EQ(scene.childCount(nullptr), 0u);
    EXPECT_EQ(scene.child(&root, 0), nullptr);
    EXPECT_EQ(scene.child(&root, 1), &kid);
    EXPECT_EQ(scene.child(nullptr, 0), nullptr);
}

TEST(SceneDescription, DescribeAndReleaseNodes) {
    PayloadLedger ledger;
    FakeSource root(ledger, 1000, 1, "root");
    root.payload = {1, 2, 3};
    SceneDescription scene(&root);
    NodeRecord record;

    EXPECT_EQ(scene.describeNode(nullptr, false, &record), 2);
    EXPECT_EQ(scene.describeNode(&root, false, nullptr), 2);
    EXPECT_EQ(scene.describeNode(&root, false, &record), 1);
    EXPECT_EQ(record.id, 1000u);
    EXPECT_EQ(record.dataSize, 3);

    EXPECT_EQ(scene.releaseNode(nullptr, &record), 2);
    EXPECT_EQ(record.dataSize, 3);
    EXPECT_EQ(scene.releaseNode(&root, nullptr), 2);
    EXPECT_EQ(scene.releaseNode(&root, &record), 1);
    EXPECT_EQ(record.dataSize, 0);
    EXPECT_EQ(record.data, nullptr);
}

TEST(SceneDescription, MotionItems) {
    PayloadLedger ledger;
    FakeSource node(ledger, 1000, 1, "root");
    MotionPlan present;
    present.payload = {9, 9};
    MotionPlan absent;
    absent.present = false;
    node.motions = {present, absent};
    SceneDescription scene(&node);
    MotionRecord record;

    EXPECT_EQ(scene.motionCount(&node), 2u);
    EXPECT_EQ(scene.motionCount(nullptr), 0u);
    EXPECT_EQ(scene.getMotion(&node, 0, false, &record), 1);
    EXPECT_STREQ(record.name, "motionTranslate");
    EXPECT_EQ(record.dataSize, 2);
    EXPECT_EQ(scene.releaseMotion(&node, 0, &record), 1);
    EXPECT_EQ(record.data, nullptr);

    record.reset(false);
    EXPECT_EQ(scene.getMotion(&node, 1, false, &record), 2);
    EXPECT_EQ(scene.getMotion(nullptr, 0, false, &record), 2);
    EXPECT_EQ(scene.getMotion(&node, 0, false, nullptr), 2);
    EXPECT_EQ(scene.releaseMotion(&node, 0, nullptr), 1);
}

// A source that keeps the base class's motion answer.
class PlainSource : public TreeSource {
public:
    void describe(bool legacy, NodeRecord& node) override { node.fill(legacy, 1, 1, "plain"); }
};

TEST(SceneDescription, BaseTreeSourceHasNoMotionItemsNorChildren) {
    PlainSource source;
    SceneDescription scene(&source);
    MotionRecord record;
    EXPECT_EQ(scene.motionCount(&source), 0u);
    EXPECT_EQ(scene.childCount(&source), 0u);
    EXPECT_EQ(source.child(0), nullptr);
    EXPECT_EQ(scene.getMotion(&source, 0, false, &record), 2);
}

}  // namespace
}  // namespace pelmora
