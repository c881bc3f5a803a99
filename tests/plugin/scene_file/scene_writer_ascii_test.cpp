#include <string>

#include <gtest/gtest.h>

#include "tests/plugin/scene_file/writer_fixture.h"

namespace pelmora {
namespace {

using namespace scene_test;

const std::string kZeroVector = "0.00000 0.00000 0.00000";

// The values of a node between its braces, current layout, each on its own
// line at `depth`.
void asciiNodeValues(ExpectedText& out, unsigned depth, std::uint32_t id, const std::string& name, int type) {
    out.line(depth, "-652984")
        .line(depth, "5")
        .line(depth, std::to_string(id))
        .line(depth, "0")
        .line(depth, "0")
        .line(depth, "\"" + name + "\"")
        .line(depth, "\"\"")
        .line(depth, std::to_string(type))
        .line(depth, kZeroVector)
        .line(depth, "1")
        .line(depth, "-1")
        .line(depth, "-1")
        .line(depth, "0")
        .line(depth, kZeroVector)
        .line(depth, kZeroVector)
        .line(depth, kZeroVector)
        .line(depth, "-1")
        .line(depth, "1");
}

class AsciiWriterTest : public WriterTest {};

TEST_F(AsciiWriterTest, RootOnlyKeysAndValuesShareTheirLine) {
    FakeSource root(ledger, 1000, 1, "root");
    WatchedScene scene(&root, ledger);
    SceneWriter writer;
    writer.binary = false;
    EXPECT_EQ(writer.write(path.c_str(), &scene), 1);

    const std::string expected =
        "\"ASCII\"\n"
        "\"version\"\"2.02.2010\"\n"
        "\"machine\"\"WINDOWS\"\n"
        "\"client\"\"VectorWorks2008\"\n"
        "\"SubFormat\"1048\n"
        "\"ITFlags\"1\n"
        "\"FPS\"24\n"
        "\"maxTime\"8000\n"
        "\"CheckSum\"\"{\"\n"
        "\t-652984\n"
        "\t5\n"
        "\t1000\n"
        "\t0\n"
        "\t0\n"
        "\t\"root\"\n"
        "\t\"\"\n"
        "\t1\n"
        "\t0.00000 0.00000 0.00000\n"
        "\t1\n"
        "\t-1\n"
        "\t-1\n"
        "\t0\n"
        "\t0.00000 0.00000 0.00000\n"
        "\t0.00000 0.00000 0.00000\n"
        "\t0.00000 0.00000 0.00000\n"
        "\t-1\n"
        "\t1\n"
        "\t0\n"
        "\"}\"\n";
    EXPECT_EQ(fileText(path), expected);
}

TEST_F(AsciiWriterTest, MotionItemPayloadAndChildAreIndentedByDepth) {
    FakeSource root(ledger, 1000, 1, "root");
    FakeSource child(ledger, 1001, 2, "");
    child.payload = std::vector<std::uint8_t>(22, 1);
    MotionPlan motion;
    motion.payload = {1, 200, 3};
    MotionPlan skipped;
    skipped.present = false;
    root.motions = {motion, skipped};
    root.children = {nullptr, &child};
    WatchedScene scene(&root, ledger);
    SceneWriter writer;
    writer.binary = false;
    EXPECT_EQ(writer.write(path.c_str(), &scene), 1);

    ExpectedText expected;
    expected.text(
        "\"ASCII\"\n\"version\"\"2.02.2010\"\n\"machine\"\"WINDOWS\"\n\"client\"\"VectorWorks2008\"\n"
        "\"SubFormat\"1048\n\"ITFlags\"1\n\"FPS\"24\n\"maxTime\"8000\n\"CheckSum\"");
    expected.line(0, "\"{\"");
    asciiNodeValues(expected, 1, 1000, "root", 1);
    expected.line(1, "0");  // dataSize
    expected.line(1, "\"(\"");
    expected.line(2, "\xFF")
        .line(2, "2")
        .line(2, "\"motionTranslate\"")
        .line(2, "\"\"")
        .line(2, "\"\"")
        .line(2, "0")
        .line(2, "0")
        .line(2, "0")
        .line(2, "0")
        .line(2, "0.50000")
        .line(2, kZeroVector)
        .line(2, "0")
        .line(2, "0.00000")
        .line(2, "1")
        .line(2, "3")
        .line(2, "204")
        .line(2, "1 200 3 ");
    expected.line(1, "\")\"");
    expected.line(1, "\"{\"");
    asciiNodeValues(expected, 2, 1001, "Node", 2);
    expected.line(2, "22").line(2, "22");  // dataSize, byte-sum
    // 22 values: a full line of 21, then one value and the closing line end.
    expected.line(2, "1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 ").line(0, "1 ");
    expected.line(1, "\"}\"");
    expected.line(0, "\"}\"");
    EXPECT_EQ(fileText(path), expected.str());
    expectAllReleased();
}

TEST_F(AsciiWriterTest, WithoutCheckSumTheBraceStartsItsOwnLine) {
    FakeSource root(ledger, 1000, 1, "root");
    root.payload = {5};
    WatchedScene scene(&root, ledger);
    SceneWriter writer;
    writer.binary = false;
    writer.checksums = false;
    EXPECT_EQ(writer.write(path.c_str(), &scene), 1);

    ExpectedText expected;
    expected.text(
        "\"ASCII\"\n\"version\"\"2.02.2010\"\n\"machine\"\"WINDOWS\"\n\"client\"\"VectorWorks2008\"\n"
        "\"SubFormat\"1048\n\"ITFlags\"1\n\"FPS\"24\n\"maxTime\"8000\n");
    expected.line(0, "\"{\"");
    asciiNodeValues(expected, 1, 1000, "root", 1);
    expected.line(1, "1").line(1, "5 ");  // dataSize, payload, no byte-sum
    expected.line(0, "\"}\"");
    EXPECT_EQ(fileText(path), expected.str());
}

TEST_F(AsciiWriterTest, LegacyLayout) {
    FakeSource root(ledger, 1000, 1, "root");
    root.attrA = 0x1;
    MotionPlan motion;
    motion.motionFlags = 0x20;
    motion.payload = {4};
    root.motions = {motion};
    WatchedScene scene(&root, ledger);
    SceneWriter writer;
    writer.binary = false;
    writer.legacy = true;
    EXPECT_EQ(writer.write(path.c_str(), &scene), 1);

    ExpectedText expected;
    expected.text(
        "\"ASCII\"\n\"version\"\"1.25.2002\"\n\"machine\"\"WINDOWS\"\n\"client\"\"VectorWorks2008\"\n"
        "\"FPS\"24\n\"maxTime\"8000\n");
    expected.line(0, "\"{\"");
    expected.line(1, "1000")
        .line(1, "2")
        .line(1, "\"root\"")
        .line(1, "\"\"")
        .line(1, "1")
        .line(1, kZeroVector)
        .line(1, "1")
        .line(1, "-1")
        .line(1, "-1")
        .line(1, "4")
        .line(1, "0")
        .line(1, kZeroVector)
        .line(1, kZeroVector)
        .line(1, kZeroVector)
        .line(1, "-1")
        .line(1, "0")
        .line(1, "0.00000")
        .line(1, kZeroVector)
        .line(1, "1")
        .line(1, "0");
    expected.line(1, "\"(\"");
    expected.line(2, "\"motionTranslate\"")
        .line(2, "\"\"")
        .line(2, "0")
        .line(2, "1")
        .line(2, "0")
        .line(2, "1")
        .line(2, "0")
        .line(2, "0.50000")
        .line(2, kZeroVector)
        .line(2, "0.00000 0.00000 0.00000 0.00000")
        .line(2, kZeroVector)
        .line(2, "1")
        .line(2, "1")
        .line(2, "32")
        .line(2, "0.00000")
        .line(2, kZeroVector)
        .line(2, "1")
        .line(2, "1")
        .line(2, "4 ");
    expected.line(1, "\")\"");
    expected.line(0, "\"}\"");
    EXPECT_EQ(fileText(path), expected.str());
    expectAllReleased();
}

}  // namespace
}  // namespace pelmora
