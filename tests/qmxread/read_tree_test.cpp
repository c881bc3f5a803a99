// Reading whole files of both encodings and layouts, built by hand.
#include <gtest/gtest.h>

#include "qmxread/qmx_reader.h"
#include "tests/support/sample_trees.h"

using namespace pelmora::qmxread;
using namespace qmxtest;

namespace {

struct Form {
    bool ascii;
    bool legacy;
    bool checksums;
    bool crlf;
};

std::string formName(const testing::TestParamInfo<Form>& info) {
    const Form& f = info.param;
    return std::string(f.ascii ? "Ascii" : "Binary") + (f.legacy ? "Legacy" : "Current") +
           (f.checksums ? "Sums" : "NoSums") + (f.crlf ? "Crlf" : "");
}

class ReadTree : public testing::TestWithParam<Form> {};

TEST_P(ReadTree, GivesBackEveryValue) {
    const Form f = GetParam();
    THeader h;
    h.legacy = f.legacy;
    h.checksums = f.checksums;
    Bytes bytes = build(f.ascii, h, sampleTree(f.legacy), nullptr, f.crlf);
    QmxFile file = readQmx(bytes);

    EXPECT_EQ(file.encoding, f.ascii ? Encoding::Ascii : Encoding::Binary);
    EXPECT_EQ(file.header.layout, f.legacy ? Layout::Legacy : Layout::Current);
    EXPECT_EQ(file.header.checksums, f.checksums && !f.legacy);
    std::vector<std::string> keys;
    for (const auto& e : file.header.entries) keys.push_back(e.key);
    std::vector<std::string> expected = {"version", "machine", "client"};
    if (!f.legacy) expected.insert(expected.end(), {"SubFormat", "ITFlags"});
    expected.insert(expected.end(), {"FPS", "maxTime"});
    if (f.checksums && !f.legacy) expected.push_back("CheckSum");
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(file.header.find("client")->text, "VectorWorks2008");
    EXPECT_EQ(file.header.find("maxTime")->number, 8000);
    if (!f.legacy) { EXPECT_EQ(file.header.find("SubFormat")->number, 1048); }

    ASSERT_EQ(file.roots.size(), 1u);
    const Node& root = file.roots[0];
    EXPECT_EQ(root.id, 1000u);
    EXPECT_EQ(root.type, 1);
    EXPECT_EQ(root.name, "Root");
    EXPECT_EQ(root.kind, f.legacy ? 4 : 5);
    EXPECT_EQ(root.intC, -1);
    ASSERT_EQ(root.children.size(), 3u);

    const Node& light = root.children[0];
    EXPECT_EQ(light.id, 1004u);
    EXPECT_EQ(light.name, "Lamp \"A\"");
    EXPECT_EQ(light.attrA, 0x801u);
    EXPECT_EQ(light.attrB, 0x20u);
    if (f.legacy) { EXPECT_EQ(light.legacy.flagWord, 0x60002u); }
    EXPECT_EQ(light.targetId1, 1005);
    EXPECT_EQ(light.targetId2, 1005);
    EXPECT_FLOAT_EQ(light.vecA.x, 1.25f);
    EXPECT_FLOAT_EQ(light.vecA.y, -2.0f);
    ASSERT_EQ(light.motions.size(), 2u);
    const Motion& translate = light.motions[0];
    EXPECT_EQ(translate.name, "motionTranslate");
    EXPECT_EQ(translate.kind, f.legacy ? 1 : 2);
    EXPECT_EQ(translate.dataSize, 12);
    EXPECT_EQ(translate.byteSum.has_value(), f.checksums && !f.legacy);
    ASSERT_TRUE(translate.payload);
    EXPECT_FLOAT_EQ(translate.payload->floatValue("translation", 1), 2.5f);
    const Motion& params = light.motions[1];
    EXPECT_EQ(params.motionFlags, 0x30);
    EXPECT_FLOAT_EQ(params.weight, 0.75f);
    if (f.legacy) {
        EXPECT_EQ(params.legacy.keyed, 1);
        EXPECT_EQ(params.legacy.flag10, 1);
        EXPECT_EQ(params.legacy.flag20, 1);
        EXPECT_EQ(params.legacy.notFlag100, 1);
    }
    ASSERT_TRUE(params.payload);
    EXPECT_EQ(params.payload->intValue("lightType"), 3);
    EXPECT_FLOAT_EQ(params.payload->floatValue("coneB"), 0.25f);
    EXPECT_EQ(params.data, lightPayload());

    const Node& mesh = root.children[2];
    EXPECT_EQ(mesh.type, 8);
    ASSERT_TRUE(mesh.mesh);
    EXPECT_EQ(mesh.mesh->legacy, f.legacy);
    EXPECT_EQ(mesh.data, f.legacy ? legacyMeshPayload() : currentMeshPayload());
}

// The mesh nodes of a tree, depth first.
void meshNodes(const Node& node, std::vector<const Node*>& out) {
    if (node.type == 8) out.push_back(&node);
    for (const Node& child : node.children) meshNodes(child, out);
}

std::string meshText(const MeshPayload& mesh) {
    std::string text = std::to_string(mesh.vertexCount) + " " + std::to_string(mesh.polygonCount) + ":";
    for (const auto& v : mesh.vertices)
        text += " " + std::to_string(v.x) + "," + std::to_string(v.y) + "," + std::to_string(v.z);
    for (const auto& p : mesh.polygons) {
        text += " |";
        for (std::uint32_t i : p.indices) text += " " + std::to_string(i);
        for (const auto& hole : p.holes) {
            text += " (";
            for (std::uint32_t i : hole) text += " " + std::to_string(i);
            text += ")";
        }
    }
    return text;
}

TEST_P(ReadTree, MeshesToldAsTheyAreReadAreTheDecodedOnesAndAreNotKept) {
    const Form f = GetParam();
    THeader h;
    h.legacy = f.legacy;
    h.checksums = f.checksums;
    Bytes bytes = build(f.ascii, h, sampleTree(f.legacy), nullptr, f.crlf);
    const QmxFile whole = readQmx(bytes);
    std::vector<std::string> told;
    ReadOptions options;
    options.meshRead = [&told](const MeshPayload& mesh) { told.push_back(meshText(mesh)); };
    const QmxFile lean = readQmx(bytes, options);
    std::vector<const Node*> wholeMeshes, leanMeshes;
    for (const Node& root : whole.roots) meshNodes(root, wholeMeshes);
    for (const Node& root : lean.roots) meshNodes(root, leanMeshes);
    ASSERT_FALSE(wholeMeshes.empty());
    ASSERT_EQ(told.size(), wholeMeshes.size());
    ASSERT_EQ(leanMeshes.size(), wholeMeshes.size());
    for (std::size_t i = 0; i < told.size(); ++i) {
        ASSERT_TRUE(wholeMeshes[i]->mesh.has_value());
        EXPECT_EQ(told[i], meshText(*wholeMeshes[i]->mesh));
        EXPECT_FALSE(leanMeshes[i]->mesh.has_value());
        EXPECT_TRUE(leanMeshes[i]->data.empty());
        EXPECT_EQ(leanMeshes[i]->name, wholeMeshes[i]->name);
    }
}

INSTANTIATE_TEST_SUITE_P(AllForms, ReadTree,
                         testing::Values(Form{false, false, true, false}, Form{false, false, false, false},
                                         Form{false, true, false, false}, Form{true, false, true, false},
                                         Form{true, false, false, false}, Form{true, true, false, false},
                                         Form{true, false, true, true}, Form{true, true, false, true}),
                         formName);

TEST(ReadHeader, HandWrittenBinaryHeaderWithRootOnly) {
    // "BINARY", then key/value pairs, each text with its NUL, then the root.
    Bytes b;
    auto text = [&](const char* t) { b.insert(b.end(), t, t + std::strlen(t) + 1); };
    auto num = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    text("BINARY");
    text("version"), text("2.02.2010"), text("machine"), text("WINDOWS"), text("client"), text("VectorWorks2008");
    text("SubFormat"), num(1048), text("ITFlags"), num(1), text("FPS"), num(24), text("maxTime"), num(8000);
    text("CheckSum");
    text("{");
    num(0xFFF60948), num(5), num(1000), num(0), num(0), text("Node"), text(""), num(1);
    num(0), num(0), num(0), num(1), num(0xFFFFFFFF), num(0xFFFFFFFF), num(0);
    for (int i = 0; i < 9; ++i) num(0);
    num(0xFFFFFFFF), num(1), num(0);
    text("}");
    QmxFile file = readQmx(b);
    ASSERT_EQ(file.roots.size(), 1u);
    EXPECT_EQ(file.roots[0].name, "Node");
    EXPECT_EQ(file.roots[0].id, 1000u);
    EXPECT_EQ(file.roots[0].intA, 1);
    EXPECT_TRUE(file.roots[0].motions.empty());
    EXPECT_EQ(file.header.entries.size(), 8u);
}

TEST(ReadHeader, AsciiKeysShareTheLineWithTheirValues) {
    const std::string text =
        "\"ASCII\"\n\"version\"\"2.02.2010\"\n\"machine\"\"WINDOWS\"\n\"client\"\"VectorWorks2008\"\n"
        "\"SubFormat\"1048\n\"ITFlags\"1\n\"FPS\"24\n\"maxTime\"8000\n\"{\"\n"
        "\t-652984\n\t5\n\t1000\n\t0\n\t0\n\t\"Node\"\n\t\"\"\n\t1\n\t0.00000 0.00000 0.00000\n\t1\n\t-1\n\t-1\n"
        "\t0\n\t0.00000 0.00000 0.00000\n\t0.00000 0.00000 0.00000\n\t0.00000 0.00000 0.00000\n\t-1\n\t1\n\t0\n\"}\"\n";
    QmxFile file = readQmx(Bytes(text.begin(), text.end()));
    EXPECT_EQ(file.roots.size(), 1u);
    EXPECT_FALSE(file.header.checksums);
    EXPECT_EQ(file.header.find("FPS")->number, 24);
}

TEST(ReadHeader, SeveralRootsAreKept) {
    Builder b(false);
    b.header(THeader{});
    TNode one;
    one.id = 1;
    TNode two;
    two.id = 2;
    b.node(one, 0);
    b.node(two, 0);
    QmxFile file = readQmx(b.bytes);
    ASSERT_EQ(file.roots.size(), 2u);
    EXPECT_EQ(file.roots[1].id, 2u);
}

TEST(ReadStrings, AsciiTextKeepsQuotesAndLineEndsInside) {
    TNode root;
    // Nothing is escaped, so a text ends at the quote that ends a line; a
    // quote elsewhere and a line end elsewhere stay in the text.
    root.name = "say \"hi\" to\nthem";
    Bytes bytes = build(true, THeader{}, root);
    EXPECT_EQ(readQmx(bytes).roots[0].name, "say \"hi\" to\nthem");
}

TEST(ReadStrings, BinaryTextKeepsBytesAbove127) {
    TNode root;
    root.name = "caf\xE9";
    Bytes bytes = build(false, THeader{}, root);
    EXPECT_EQ(readQmx(bytes).roots[0].name, "caf\xE9");
}

TEST(ReadFile, MissingFileIsAnError) { EXPECT_THROW(readQmxFile(testing::TempDir() + "/no-such-file.qmx"), ReadError); }

}  // namespace
