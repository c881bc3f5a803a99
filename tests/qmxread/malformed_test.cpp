// Malformed input: every fault is a ReadError that names the position of the
// faulty value; nothing crashes and nothing is sized by an unchecked field.
#include <gtest/gtest.h>

#include "qmxread/qmx_json.h"
#include "qmxread/qmx_reader.h"
#include "tests/support/sample_trees.h"

using namespace pelmora::qmxread;
using namespace qmxtest;

namespace {

// Runs the read and gives the error (fails the test when there is none).
ReadError readError(const Bytes& bytes, const ReadOptions& options = {}) {
    try {
        readQmx(bytes, options);
    } catch (const ReadError& error) { return error; }
    ADD_FAILURE() << "no error";
    return ReadError("", 0, 0);
}

std::string at(std::size_t offset) { return "offset " + std::to_string(offset) + ": "; }

// The position text for an ASCII value: its line, then its offset.
std::string atLine(const Bytes& bytes, std::size_t offset) {
    return "line " + std::to_string(lineAt(bytes, offset)) + " (offset " + std::to_string(offset) + "): ";
}

class Truncation : public testing::TestWithParam<std::tuple<bool, bool>> {};

TEST_P(Truncation, EveryShorterLengthIsAnError) {
    const auto [ascii, legacy] = GetParam();
    THeader h;
    h.legacy = legacy;
    const Bytes whole = build(ascii, h, sampleTree(legacy));
    ASSERT_NO_THROW(readQmx(whole));
    // In ASCII only the line end after the last brace may go without harm.
    std::size_t mustFail = whole.size();
    if (ascii) {
        while (whole[mustFail - 1] != '"') --mustFail;
    }
    for (std::size_t length = 0; length < mustFail; ++length) {
        Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
        EXPECT_THROW(readQmx(cut), ReadError) << "length " << length;
    }
}

INSTANTIATE_TEST_SUITE_P(AllForms, Truncation, testing::Combine(testing::Bool(), testing::Bool()));

TEST(Truncation, NamesWhereTheFileEnds) {
    std::map<std::string, std::size_t> marks;
    Bytes whole = build(false, THeader{}, sampleTree(false), &marks);
    const std::size_t sumAt = marks.at("node1004.motionTranslate.sum");
    Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(sumAt + 2));
    EXPECT_EQ(std::string(readError(cut).what()), at(sumAt) + "file ends inside byte-sum (4 bytes needed, 2 left)");
}

TEST(Markers, WrongNodeMarker) {
    TNode root = sampleTree(false);
    root.children[1].marker = 0x12345678;
    std::map<std::string, std::size_t> marks;
    Bytes binary = build(false, THeader{}, root, &marks);
    ReadError error = readError(binary);
    EXPECT_EQ(std::string(error.what()),
              at(marks.at("node1005.marker")) + "wrong node marker 0x12345678 (expected 0xFFF60948)");
    EXPECT_EQ(error.offset(), marks.at("node1005.marker"));

    Bytes ascii = build(true, THeader{}, root, &marks);
    error = readError(ascii);
    const std::size_t markerAt = marks.at("node1005.marker");
    EXPECT_EQ(std::string(error.what()),
              atLine(ascii, markerAt) + "wrong node marker 0x12345678 (expected 0xFFF60948)");
    EXPECT_EQ(error.line(), lineAt(ascii, markerAt));
}

TEST(Markers, WrongMotionMarker) {
    TNode root = sampleTree(false);
    root.children[0].motions[1].marker = 254;
    std::map<std::string, std::size_t> marks;
    Bytes binary = build(false, THeader{}, root, &marks);
    EXPECT_EQ(std::string(readError(binary).what()),
              at(marks.at("node1004.motionLightParameter.marker")) + "wrong motion marker 254 (expected 255)");
    Bytes ascii = build(true, THeader{}, root, &marks);
    EXPECT_EQ(std::string(readError(ascii).what()), atLine(ascii, marks.at("node1004.motionLightParameter.marker")) +
                                                        "wrong motion marker 254 (expected 255)");
}

TEST(ByteSums, MismatchNamesTheSum) {
    TNode root = sampleTree(false);
    root.children[0].motions[0].byteSum = 7;
    std::map<std::string, std::size_t> marks;
    Bytes bytes = build(false, THeader{}, root, &marks);
    std::uint32_t trueSum = 0;
    for (std::uint8_t b : translatePayload(1.0f, 2.5f, -3.0f)) trueSum += b;
    EXPECT_EQ(std::string(readError(bytes).what()), at(marks.at("node1004.motionTranslate.sum")) +
                                                        "byte-sum mismatch: the file gives 7, the 12 bytes of "
                                                        "the motion payload sum to " +
                                                        std::to_string(trueSum));
}

TEST(ByteSums, NodePayloadMismatchInAscii) {
    TNode root = sampleTree(false);
    root.children[2].byteSum = 1;
    std::map<std::string, std::size_t> marks;
    Bytes bytes = build(true, THeader{}, root, &marks);
    ReadError error = readError(bytes);
    EXPECT_EQ(error.offset(), marks.at("node1003.sum"));
    EXPECT_NE(std::string(error.what()).find("byte-sum mismatch"), std::string::npos);
}

TEST(ByteSums, OnlyWhenTheHeaderSaysCheckSum) {
    THeader h;
    h.checksums = false;
    TNode root = sampleTree(false);
    QmxFile file = readQmx(build(false, h, root));
    EXPECT_FALSE(file.roots[0].children[0].motions[0].byteSum);
}

TEST(Sizes, DataSizeLargerThanTheRestOfTheFile) {
    for (bool ascii : {false, true}) {
        TNode root = sampleTree(false);
        root.children[0].motions[0].dataSize = 1 << 30;
        std::map<std::string, std::size_t> marks;
        Bytes bytes = build(ascii, THeader{}, root, &marks);
        ReadError error = readError(bytes);
        EXPECT_EQ(error.offset(), marks.at("node1004.motionTranslate.dataSize")) << ascii;
        EXPECT_NE(
            std::string(error.what()).find("dataSize 1073741824 of motion payload is larger than the rest of the file"),
            std::string::npos)
            << error.what();
    }
}

TEST(Sizes, NegativeDataSize) {
    TNode root;
    root.dataSize = -5;
    std::map<std::string, std::size_t> marks;
    Bytes bytes = build(false, THeader{}, root, &marks);
    EXPECT_EQ(std::string(readError(bytes).what()),
              at(marks.at("node0.dataSize")) + "negative dataSize -5 of node payload");
}

TEST(Sizes, OverlongBinaryTextIsRefused) {
    TNode root;
    root.name = std::string(5000, 'x');
    Bytes bytes = build(false, THeader{}, root);
    EXPECT_NE(std::string(readError(bytes).what()).find("node name is longer than 4096 bytes"), std::string::npos);
}

Bytes nested(int depth, std::size_t* deepest, std::size_t limit) {
    Builder b(false);
    b.header(THeader{});
    std::vector<TNode> chain;  // built flat: "{", values, then the next "{"
    for (int d = 0; d < depth; ++d) {
        if (static_cast<std::size_t>(d) == limit) *deepest = b.bytes.size();
        b.str("{", d);
        b.i32(-652984, d + 1);
        b.i32(5, d + 1);
        b.i32(d, d + 1);
        b.i32(0, d + 1);
        b.i32(0, d + 1);
        b.str("Node", d + 1);
        b.str("", d + 1);
        b.i32(1, d + 1);
        b.vec({0, 0, 0}, d + 1);
        for (int v : {1, -1, -1, 0}) b.i32(v, d + 1);
        for (int k = 0; k < 3; ++k) b.vec({0, 0, 0}, d + 1);
        for (int v : {-1, 1, 0}) b.i32(v, d + 1);
    }
    for (int d = depth - 1; d >= 0; --d) b.str("}", d);
    return b.bytes;
}

TEST(Nesting, DeepTreesAreRefusedWithTheOffset) {
    std::size_t deepest = 0;
    Bytes bytes = nested(10000, &deepest, kDefaultMaxDepth);
    EXPECT_EQ(std::string(readError(bytes).what()), at(deepest) + "nodes nested deeper than 256 levels");
}

TEST(Nesting, TheDeepestAllowedLevelReads) {
    std::size_t unused = 0;
    QmxFile file = readQmx(nested(static_cast<int>(kDefaultMaxDepth), &unused, kDefaultMaxDepth));
    const Node* node = &file.roots[0];
    int depth = 0;
    while (!node->children.empty()) {
        node = &node->children[0];
        ++depth;
    }
    EXPECT_EQ(depth, 255);
}

TEST(Grammar, NotAQmxFile) {
    const std::string text = "hello";
    EXPECT_EQ(std::string(readError(Bytes(text.begin(), text.end())).what()),
              "offset 0: not a QMX file (it starts with neither \"BINARY\" nor \"ASCII\" in quotes)");
}

TEST(Grammar, UnknownHeaderKey) {
    Builder b(false);
    b.key("BINARY");
    b.key("version");
    b.str("2.02.2010", 0);
    std::size_t keyAt = b.bytes.size();
    b.key("Colour");
    EXPECT_EQ(std::string(readError(b.bytes).what()), at(keyAt) + "unknown header key \"Colour\"");
}

TEST(Grammar, UnknownVersion) {
    THeader h;
    h.version = "3.00";
    std::map<std::string, std::size_t> marks;
    Bytes bytes = build(false, h, TNode{}, &marks);
    EXPECT_EQ(std::string(readError(bytes).what()),
              at(marks.at("version")) + "unknown version \"3.00\" (expected \"2.02.2010\" or \"1.25.2002\")");
}

TEST(Grammar, DuplicateHeaderKey) {
    Builder b(true);
    b.key("ASCII");
    b.lineEnd();
    b.key("FPS");
    b.i32(24, 0);
    b.key("FPS");
    b.i32(25, 0);
    EXPECT_NE(std::string(readError(b.bytes).what()).find("line 3 (offset 16): header key \"FPS\" appears twice"),
              std::string::npos)
        << readError(b.bytes).what();
}

TEST(Grammar, RootWithoutVersion) {
    Builder b(false);
    b.key("BINARY");
    b.key("FPS");
    b.i32(24, 0);
    b.key("{");
    EXPECT_NE(std::string(readError(b.bytes).what()).find("the header has no version"), std::string::npos);
}

TEST(Grammar, MotionAfterChildIsRefused) {
    Builder b(false);
    b.header(THeader{});
    TNode root;
    TNode child;
    child.id = 7;
    root.children = {child};
    b.node(root, 0);
    b.bytes.resize(b.bytes.size() - 2);  // drop the root's "}"
    std::size_t motionAt = b.bytes.size();
    b.str("(", 1);
    EXPECT_EQ(std::string(readError(b.bytes).what()),
              at(motionAt) + "motion item after a child node (motion items come first)");
}

TEST(Grammar, UnexpectedBracket) {
    Builder b(true);
    b.header(THeader{});
    b.node(TNode{}, 0);
    std::size_t closeAt = b.bytes.size() - 4;  // "}" and its line end
    b.bytes[closeAt + 1] = ']';
    EXPECT_NE(std::string(readError(b.bytes).what()).find("expected '(', '{' or '}', found \"]\""), std::string::npos);
}

TEST(Grammar, TrailingGarbage) {
    Bytes bytes = build(false, THeader{}, TNode{});
    bytes.push_back('x');
    EXPECT_THROW(readQmx(bytes), ReadError);
}

TEST(AsciiValues, BadNumbersAreNamed) {
    Bytes bytes = build(true, THeader{}, TNode{});
    const std::string text(bytes.begin(), bytes.end());
    std::size_t kindAt = text.find("\t5\n") + 1;
    bytes[kindAt] = 'x';
    EXPECT_EQ(std::string(readError(bytes).what()), atLine(bytes, kindAt) + "'x' is not an integer for node kind");

    TNode root;
    root.data = {1, 2, 3};
    bytes = build(true, THeader{}, root);
    const std::string withData(bytes.begin(), bytes.end());
    std::size_t byteAt = withData.find("1 2 3 ") + 2;
    bytes[byteAt] = '9';
    bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(byteAt), {'9', '9'});
    EXPECT_EQ(std::string(readError(bytes).what()),
              atLine(bytes, byteAt) + "'999' is not a byte value (0 to 255) in node payload at byte 1");
}

TEST(Payloads, WrongSizeOfAKnownKindIsAnErrorWhenDecoding) {
    TNode root = sampleTree(false);
    root.children[0].motions[0].data = translatePayload(1, 2, 3);
    root.children[0].motions[0].data.push_back(0);
    std::map<std::string, std::size_t> marks;
    Bytes bytes = build(false, THeader{}, root, &marks);
    EXPECT_EQ(std::string(readError(bytes).what()),
              at(marks.at("node1004.motionTranslate.data")) +
                  "motionTranslate payload has dataFormat 1 and 13 bytes; expected dataFormat 1 with 12 bytes");
    ReadOptions raw;
    raw.decodePayloads = false;
    EXPECT_NO_THROW(readQmx(bytes, raw));
}

TEST(Payloads, MeshFaultNamesTheFileOffset) {
    TNode root = sampleTree(false);
    Bytes& mesh = root.children[2].data;
    mesh[88 + 4] = 9;  // first polygon's first index: 9 of 4 vertices
    std::map<std::string, std::size_t> marks;
    Bytes bytes = build(false, THeader{}, root, &marks);
    EXPECT_EQ(std::string(readError(bytes).what()),
              at(marks.at("node1003.data") + 92) + "mesh polygon index 9 outside the 4 vertices");
}

}  // namespace

namespace {

// Any damage gives either a file or a ReadError: no other exception, no crash.
TEST(Damage, FlippedBytesNeverEscapeAsAnythingButReadError) {
    std::uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (bool ascii : {false, true}) {
        for (bool legacy : {false, true}) {
            THeader h;
            h.legacy = legacy;
            const Bytes whole = build(ascii, h, sampleTree(legacy));
            for (int round = 0; round < 400; ++round) {
                Bytes damaged = whole;
                const int flips = 1 + static_cast<int>(next() % 3);
                for (int f = 0; f < flips; ++f) {
                    damaged[(next() >> 8) % damaged.size()] = static_cast<std::uint8_t>(next() >> 16);
                }
                try {
                    // What reads must also print: the JSON text is strict UTF-8.
                    QmxFile file = readQmx(damaged);
                    JsonOptions all;
                    all.geometry = all.raw = true;
                    EXPECT_FALSE(toJson(file, all).dump().empty());
                } catch (const ReadError&) {
                } catch (const std::exception& e) { ADD_FAILURE() << "round " << round << ": " << e.what(); }
            }
        }
    }
}

}  // namespace
