#include <gtest/gtest.h>

#include "tests/plugin/scene_file/writer_fixture.h"

namespace pelmora {
namespace {

using namespace scene_test;

void legacyNodeValues(ExpectedBinary& out, std::uint32_t id, std::uint32_t word, const std::string& name, int type,
                      int kind, const std::vector<std::uint8_t>& payload, int dataFormat = 1) {
    out.u32(id)
        .u32(word)
        .str(name)
        .str("")
        .i32(type)
        .vec(0, 0, 0)
        .i32(1)
        .i32(-1)
        .i32(-1)
        .i32(kind)
        .i32(0)
        .vec(0, 0, 0)
        .vec(0, 0, 0)
        .vec(0, 0, 0)
        .i32(-1)
        .i32(0)
        .f32(0.0f)
        .vec(0, 0, 0)
        .i32(dataFormat)
        .i32(static_cast<std::int32_t>(payload.size()));
    out.raw(payload);
}

// The four derived values: [key-at-zero, 0x10, 0x20, not 0x100].
void legacyMotion(ExpectedBinary& out, const std::string& name, int key, int flags, int derived0, int derived1,
                  int derived2, int derived3, const std::vector<std::uint8_t>& payload) {
    out.str("(")
        .str(name)
        .str("")
        .i32(key)
        .i32(derived0)
        .i32(derived1)
        .i32(derived2)
        .i32(0)
        .f32(0.5f)
        .vec(0, 0, 0)
        .f32(0)
        .f32(0)
        .f32(0)
        .f32(0)
        .vec(0, 0, 0)
        .i32(derived3)
        .i32(1)
        .i32(flags)
        .f32(0.0f)
        .vec(0, 0, 0)
        .i32(1)
        .i32(static_cast<std::int32_t>(payload.size()));
    out.raw(payload);
    out.str(")");
}

class LegacyWriterTest : public WriterTest {};

TEST_F(LegacyWriterTest, HeaderWithoutSubFormatITFlagsOrCheckSum) {
    FakeSource root(ledger, 1000, 1, "");
    WatchedScene scene(&root, ledger);
    SceneWriter writer;
    writer.legacy = true;  // checksums stay on: the legacy layout has none
    EXPECT_EQ(writer.write(path.c_str(), &scene), 1);

    ExpectedBinary expected;
    expected.str("BINARY")
        .str("version")
        .str("1.25.2002")
        .str("machine")
        .str("WINDOWS")
        .str("client")
        .str("VectorWorks2008")
        .str("FPS")
        .i32(24)
        .str("maxTime")
        .i32(8000);
    expected.str("{");
    legacyNodeValues(expected, 1000, 0, "Node", 1, 4, {});
    expected.str("}");
    EXPECT_EQ(fileBytes(path), expected.bytes());
}

TEST_F(LegacyWriterTest, FlagWordMotionValuesPayloadsAndChildren) {
    FakeSource root(ledger, 1000, 1, "root");
    root.attrA = 0x1 | 0x800 | 0x2000000;  // the last has no place in the word
    root.attrB = 0x1 | 0x20;
    root.payload = {5, 6};
    FakeSource child(ledger, 1001, 2, "child");
    MotionPlan allFlags;
    allFlags.motionFlags = 0x80 | 0x10 | 0x100;
    allFlags.payload = {9};
    MotionPlan keyed;
    keyed.name = "motionCamera";
    keyed.key = 3;
    keyed.motionFlags = 0x80 | 0x20;
    MotionPlan skipped;
    skipped.present = false;
    root.motions = {allFlags, keyed, skipped};
    root.children = {&child};
    WatchedScene scene(&root, ledger);
    SceneWriter writer;
    writer.legacy = true;
    EXPECT_EQ(writer.write(path.c_str(), &scene), 1);

    ExpectedBinary expected;
    legacyHeader(expected);
    expected.str("{");
    legacyNodeValues(expected, 1000, 0x1 | 0x2 | 0x40000 | 0x20000, "root", 1, 4, {5, 6});
    legacyMotion(expected, "motionTranslate", 0, 0x190, 0, 1, 0, 0, {9});
    legacyMotion(expected, "motionCamera", 3, 0xA0, 1, 0, 1, 1, {});
    expected.str("{");
    legacyNodeValues(expected, 1001, 0, "child", 2, 4, {});
    expected.str("}");
    expected.str("}");
    EXPECT_EQ(fileBytes(path), expected.bytes());
    expectAllReleased();
    EXPECT_EQ(ledger.handedOut.size(), 2u);
}

// A source that sets its own layout tag.
class KindSource : public TreeSource {
public:
    explicit KindSource(int kind) : kind_(kind) {}
    void describe(bool legacy, NodeRecord& node) override {
        seenLegacy = legacy;
        node.fill(legacy, 7, 8, "k");
        node.kind = kind_;
    }
    bool seenLegacy = false;

private:
    int kind_;
};

TEST_F(LegacyWriterTest, NodeKindIsRaisedToAtLeastFour) {
    for (int kind : {2, 4, 9}) {
        KindSource root(kind);
        WatchedScene scene(&root, ledger);
        SceneWriter writer;
        writer.legacy = true;
        EXPECT_EQ(writer.write(path.c_str(), &scene), 1);
        EXPECT_TRUE(root.seenLegacy);
        ExpectedBinary expected;
        legacyHeader(expected);
        expected.str("{");
        legacyNodeValues(expected, 7, 0, "k", 8, kind < 4 ? 4 : kind, {});
        expected.str("}");
        EXPECT_EQ(fileBytes(path), expected.bytes()) << kind;
    }
}

TEST_F(LegacyWriterTest, SourcesAreAskedForTheLegacyRecords) {
    FakeSource root(ledger, 1000, 1, "root");
    MotionPlan motion;
    root.motions = {motion};
    WatchedScene scene(&root, ledger);
    SceneWriter writer;
    writer.legacy = true;
    ASSERT_EQ(writer.write(path.c_str(), &scene), 1);
    // The motion record's kind (1 in the legacy layout) stands after the
    // derived "not 0x100" value; the node's kind 4 after its targets.
    ExpectedBinary expected;
    legacyHeader(expected);
    expected.str("{");
    legacyNodeValues(expected, 1000, 0, "root", 1, 4, {});
    legacyMotion(expected, "motionTranslate", 0, 0, 1, 0, 0, 1, {});
    expected.str("}");
    EXPECT_EQ(fileBytes(path), expected.bytes());
}

}  // namespace
}  // namespace pelmora
