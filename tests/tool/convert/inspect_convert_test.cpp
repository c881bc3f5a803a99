// pelmora inspect and pelmora convert, run as the built tool on files made by
// the test's own encoder.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "qmxread/qmx_json.h"
#include "qmxread/qmx_reader.h"
#include "tests/support/sample_trees.h"
#include "tests/tool/common/tool_support.h"
#include "tool/convert/name_decoder.h"

using namespace qmxtest;
namespace fs = std::filesystem;

namespace {

std::string text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

bool oneLine(const std::string& err) { return !err.empty() && err.find('\n') == err.size() - 1; }

TEST(Inspect, JsonHoldsTheTreeAndTheDecodedPayloads) {
    TempFolder dir;
    spit(dir / "scene.qmx", build(false, THeader{}, sampleTree(false)));
    ToolRun run = runTool(dir, {"inspect", (dir / "scene.qmx").string(), "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    auto json = nlohmann::ordered_json::parse(run.out);
    EXPECT_EQ(json["encoding"], "BINARY");
    std::vector<std::string> keys;
    for (auto& [key, value] : json["header"].items()) keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"version", "machine", "client", "SubFormat", "ITFlags", "FPS", "maxTime",
                                              "CheckSum"}));
    EXPECT_EQ(json["header"]["CheckSum"], true);
    EXPECT_EQ(json["header"]["SubFormat"], 1048);
    const auto& root = json["root"];
    EXPECT_EQ(root["id"], 1000);
    EXPECT_EQ(root["name"], "Root");
    const auto& light = root["children"][0];
    EXPECT_EQ(light["name"], "Lamp \"A\"");
    EXPECT_EQ(light["targetId1"], 1005);
    EXPECT_EQ(light["attrA"], 0x801);
    EXPECT_EQ(light["motions"][0]["name"], "motionTranslate");
    EXPECT_EQ(light["motions"][0]["payload"]["translation"], nlohmann::ordered_json::parse("[1.0, 2.5, -3.0]"));
    const auto& params = light["motions"][1];
    EXPECT_EQ(params["motionFlags"], 0x30);
    EXPECT_EQ(params["dataSize"], 72);
    EXPECT_EQ(params["payload"]["lightType"], 3);
    EXPECT_EQ(params["payload"]["intensity"], 0.85);
    EXPECT_EQ(params["payload"]["axis"], nlohmann::ordered_json::parse("[0.0, 1.0, 0.0]"));
    const auto& mesh = root["children"][2]["mesh"];
    EXPECT_EQ(mesh["vertexCount"], 4);
    EXPECT_EQ(mesh["polygonCount"], 2);
    EXPECT_EQ(mesh["indexBytes"], 44);
    EXPECT_EQ(mesh["smoothingAngle"], 0.5);
    EXPECT_EQ(mesh["mappingType"], 3);
    EXPECT_FALSE(mesh.contains("vertices"));
}

TEST(Inspect, GeometryAddsVerticesAndPolygons) {
    TempFolder dir;
    spit(dir / "scene.qmx", build(true, THeader{}, sampleTree(false)));
    ToolRun run = runTool(dir, {"inspect", (dir / "scene.qmx").string(), "--json", "--geometry"});
    ASSERT_EQ(run.status, 0) << run.err;
    auto json = nlohmann::json::parse(run.out);
    EXPECT_EQ(json["encoding"], "ASCII");
    const auto& mesh = json["root"]["children"][2]["mesh"];
    EXPECT_EQ(mesh["vertices"][2], nlohmann::json::parse("[1.0, 1.0, 0.0]"));
    EXPECT_EQ(mesh["polygons"], nlohmann::json::parse("[[0, 1, 2], [0, 1, 2, 3]]"));
}

TEST(Inspect, ReadableTree) {
    TempFolder dir;
    spit(dir / "scene.qmx", build(false, headerOf(true, false), sampleTree(true)));
    ToolRun run = runTool(dir, {"inspect", (dir / "scene.qmx").string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("BINARY, legacy layout"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("node 1004 \"Lamp \"A\"\" type 4"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("translation = [1, 2.5, -3]"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("legacy mesh: 3 vertices, 1 polygons, 8 index bytes"), std::string::npos) << run.out;
}

TEST(Inspect, CorruptFileGivesOneLineAndFailure) {
    TempFolder dir;
    TNode root = sampleTree(false);
    root.children[0].motions[0].byteSum = 1;
    std::map<std::string, std::size_t> marks;
    spit(dir / "bad.qmx", build(false, THeader{}, root, &marks));
    ToolRun run = runTool(dir, {"inspect", (dir / "bad.qmx").string(), "--json"});
    EXPECT_NE(run.status, 0);
    EXPECT_TRUE(run.out.empty());
    EXPECT_TRUE(oneLine(run.err)) << run.err;
    EXPECT_NE(
        run.err.find("offset " + std::to_string(marks.at("node1004.motionTranslate.sum")) + ": byte-sum mismatch"),
        std::string::npos)
        << run.err;
}

struct ConvertForm {
    bool legacy;
    bool checksums;
};

class Convert : public testing::TestWithParam<ConvertForm> {};

TEST_P(Convert, BinaryToBinaryGivesTheSameBytes) {
    TempFolder dir;
    THeader h = headerOf(GetParam().legacy, GetParam().checksums);
    const Bytes binary = build(false, h, sampleTree(h.legacy));
    spit(dir / "in.qmx", binary);
    ToolRun run = runTool(dir, {"convert", (dir / "in.qmx").string(), (dir / "out.qmx").string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(slurp(dir / "out.qmx"), text(binary));
}

TEST_P(Convert, ThroughAsciiAndBackGivesTheSameBytes) {
    TempFolder dir;
    THeader h = headerOf(GetParam().legacy, GetParam().checksums);
    const Bytes binary = build(false, h, sampleTree(h.legacy));
    const Bytes ascii = build(true, h, sampleTree(h.legacy));
    spit(dir / "in.qmx", binary);
    ToolRun run = runTool(dir, {"convert", (dir / "in.qmx").string(), (dir / "mid.qmx").string(), "--ascii"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(slurp(dir / "mid.qmx"), text(ascii));
    run = runTool(dir, {"convert", (dir / "mid.qmx").string(), (dir / "back.qmx").string(), "--binary"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(slurp(dir / "back.qmx"), text(binary));
}

INSTANTIATE_TEST_SUITE_P(Layouts, Convert,
                         testing::Values(ConvertForm{false, true}, ConvertForm{false, false},
                                         ConvertForm{true, false}));

TEST(ConvertAscii, WindowsLineEndsComeOutAsPlainLineEnds) {
    TempFolder dir;
    spit(dir / "in.qmx", build(true, THeader{}, sampleTree(false), nullptr, true));
    ToolRun run = runTool(dir, {"convert", (dir / "in.qmx").string(), (dir / "out.qmx").string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(slurp(dir / "out.qmx"), text(build(true, THeader{}, sampleTree(false))));
}

TEST(ConvertRefuses, WritingOverTheInput) {
    TempFolder dir;
    const Bytes binary = build(false, THeader{}, sampleTree(false));
    spit(dir / "in.qmx", binary);
    ToolRun run = runTool(dir, {"convert", (dir / "in.qmx").string(), (dir / "." / "in.qmx").string()});
    EXPECT_NE(run.status, 0);
    EXPECT_TRUE(oneLine(run.err)) << run.err;
    EXPECT_EQ(slurp(dir / "in.qmx"), text(binary));
}

std::size_t fileCount(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(ConvertRefuses, AHeaderTheWriterCannotGiveBack) {
    TempFolder dir;
    Builder b(false);
    b.key("BINARY");
    b.key("version");
    b.str("2.02.2010", 0);
    b.key("FPS");
    b.i32(24, 0);
    b.key("{");
    b.bytes.resize(b.bytes.size() - 2);
    b.node(TNode{}, 0);
    spit(dir / "in.qmx", b.bytes);
    ToolRun run = runTool(dir, {"convert", (dir / "in.qmx").string(), (dir / "out.qmx").string()});
    EXPECT_NE(run.status, 0);
    EXPECT_TRUE(oneLine(run.err)) << run.err;
    EXPECT_NE(run.err.find("the header keys are \"version FPS\""), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(dir / "out.qmx"));
    EXPECT_EQ(fileCount(dir.path()), 1u);
}

TEST(ConvertRefuses, AnEmptyNodeName) {
    TempFolder dir;
    TNode root;
    root.name = "";
    spit(dir / "in.qmx", build(false, THeader{}, root));
    ToolRun run = runTool(dir, {"convert", (dir / "in.qmx").string(), (dir / "out.qmx").string()});
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("empty name"), std::string::npos) << run.err;
}

TEST(ConvertRefuses, LegacyValuesTheWriterDerivesOtherwise) {
    TempFolder dir;
    TNode root = sampleTree(true);
    root.kind = 3;
    spit(dir / "in.qmx", build(false, headerOf(true, false), root));
    ToolRun run = runTool(dir, {"convert", (dir / "in.qmx").string(), (dir / "out.qmx").string()});
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("kind 3 is below 4"), std::string::npos) << run.err;
}

TEST(ConvertRefuses, ACorruptInputAndLeavesNoOutput) {
    TempFolder dir;
    Bytes binary = build(false, THeader{}, sampleTree(false));
    binary.resize(binary.size() / 2);
    spit(dir / "in.qmx", binary);
    ToolRun run = runTool(dir, {"convert", (dir / "in.qmx").string(), (dir / "out.qmx").string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(oneLine(run.err)) << run.err;
    EXPECT_EQ(fileCount(dir.path()), 1u);
}

TEST(ConvertRefuses, AFolderThatDoesNotExist) {
    TempFolder dir;
    spit(dir / "in.qmx", build(false, THeader{}, sampleTree(false)));
    ToolRun run = runTool(dir, {"convert", (dir / "in.qmx").string(), (dir / "none" / "out.qmx").string()});
    EXPECT_NE(run.status, 0);
    EXPECT_TRUE(oneLine(run.err)) << run.err;
}

TEST(ConvertReplaces, AnExistingOutputFileOnlyWithForce) {
    TempFolder dir;
    const Bytes binary = build(false, THeader{}, sampleTree(false));
    spit(dir / "in.qmx", binary);
    spit(dir / "out.qmx", Bytes{'o', 'l', 'd'});
    ToolRun run = runTool(dir, {"convert", (dir / "in.qmx").string(), (dir / "out.qmx").string()});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(slurp(dir / "out.qmx"), "old");
    run = runTool(dir, {"convert", (dir / "in.qmx").string(), (dir / "out.qmx").string(), "--force"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(slurp(dir / "out.qmx"), text(binary));
    EXPECT_EQ(fileCount(dir.path()), 2u);
}

}  // namespace

namespace {

// A payload that does not match its kind's layout (a motion's or a mesh's) is
// refused alike by inspect and by convert, which would otherwise copy it into
// a file reported as written; --no-decode shows its bytes.
TEST(Inspect, APayloadOfAnotherSizeIsRefusedByInspectAndConvert) {
    TempFolder dir;
    TNode motionOdd = sampleTree(false);
    motionOdd.children[0].motions[0].data.push_back(7);
    TNode meshOdd = sampleTree(false);
    meshOdd.children[2].data.resize(meshOdd.children[2].data.size() - 3);
    for (const TNode& root : {motionOdd, meshOdd}) {
        spit(dir / "odd.qmx", build(false, THeader{}, root));
        EXPECT_NE(runTool(dir, {"inspect", (dir / "odd.qmx").string(), "--json"}).status, 0);
        for (const char* encoding : {"--ascii", "--binary"}) {
            ToolRun run = runTool(dir, {"convert", (dir / "odd.qmx").string(), (dir / "out.qmx").string(), encoding});
            EXPECT_EQ(run.status, 1) << encoding;
            EXPECT_TRUE(oneLine(run.err)) << run.err;
            EXPECT_FALSE(fs::exists(dir / "out.qmx")) << encoding;
        }
    }
    spit(dir / "odd.qmx", build(false, THeader{}, motionOdd));
    ToolRun run = runTool(dir, {"inspect", (dir / "odd.qmx").string(), "--json", "--no-decode", "--raw"});
    ASSERT_EQ(run.status, 0) << run.err;
    auto motion = nlohmann::json::parse(run.out)["root"]["children"][0]["motions"][0];
    EXPECT_TRUE(motion["payload"].is_null());
    EXPECT_EQ(motion["data"], "0000803f00002040000040c007");
}

}  // namespace

namespace {

// The plug-in's own export of the sample drawing reads, and comes back byte
// for byte through both encodings.
TEST(RealExport, SampleHouseReadsAndRoundTrips) {
    TempFolder dir;
    fs::create_directories(dir / "host");
    ToolRun run = runTool(dir, {"export", std::string(PELMORA_SOURCE_DIR) + "/examples/house.json", "-o",
                                (dir / "house.qmx").string(), "--host-dir", (dir / "host").string(), "--mode", "2"});
    ASSERT_EQ(run.status, 0) << run.err;
    run = runTool(dir, {"inspect", (dir / "house.qmx").string(), "--json", "--geometry"});
    ASSERT_EQ(run.status, 0) << run.err;
    auto json = nlohmann::json::parse(run.out);
    EXPECT_EQ(json["root"]["id"], 1000);
    EXPECT_EQ(json["root"]["children"][1]["id"], 1001);
    // Written as the file is read: the same text as the whole tree dumped.
    pelmora::qmxread::JsonOptions geometry;
    geometry.geometry = true;
    geometry.text = pelmora::tool::NameDecoder(pelmora::tool::kDefaultNameCodePage).textDecoder();
    EXPECT_EQ(run.out, pelmora::qmxread::toJson(pelmora::qmxread::readQmxFile((dir / "house.qmx").string()), geometry)
                               .dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) +
                           "\n");

    run = runTool(dir, {"convert", (dir / "house.qmx").string(), (dir / "a.qmx").string(), "--ascii"});
    ASSERT_EQ(run.status, 0) << run.err;
    run = runTool(dir, {"convert", (dir / "a.qmx").string(), (dir / "b.qmx").string(), "--binary"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(slurp(dir / "b.qmx"), slurp(dir / "house.qmx"));
}

}  // namespace

namespace {

// Names are 8-bit texts: the host's in its code page (1252 unless told), the
// plug-in's fixed camera and light names in 932 whatever that is. Whatever
// the bytes, the text tree and the JSON come out as UTF-8, and so do the
// names of a conversion.
TEST(InspectNames, DecodedFromTheCodePageAndAlwaysValidUtf8) {
    TempFolder dir;
    TNode root;
    root.id = 1000;
    root.type = 1;
    auto child = [&root](std::uint32_t id, std::int32_t type, const std::string& name) -> TNode& {
        TNode node;
        node.id = id;
        node.type = type;
        node.name = name;
        root.children.push_back(node);
        return root.children.back();
    };
    child(1001, 2, "\x83\x4A\x83\x81\x83\x89");  // the camera: カメラ in 932
    child(1002, 16,
          "\x8F\xC6\x8E\xCB\x93\x5F>M\xF6"
          "bel");  // a named light's target, 照射点>Möbel
    TNode& mesh = child(1003, 8,
                        "M\xF6"
                        "bel");  // Möbel in 1252
    mesh.subName = "Gr\xFCn";
    mesh.dataFormat = 2;
    mesh.data = currentMeshPayload();
    child(1004, 0, "\x88\xD6\x8E\x71");  // 椅子 in 932
    child(1005, 0,
          "a\x81\x01"
          "b");                                                              // no 1252 character, a control one
    child(1006, 16, "\x8F\xC6\x8E\xCB\x93\x5F>\x83\x89\x83\x43\x83\x67-3");  // an unnamed light's target
    const std::string file = (dir / "names.qmx").string();
    spit(file, build(false, THeader{}, root));

    const std::string camera = "\xE3\x82\xAB\xE3\x83\xA1\xE3\x83\xA9";  // カメラ
    const std::string target =
        "\xE7\x85\xA7\xE5\xB0\x84\xE7\x82\xB9>M\xC3\xB6"
        "bel";
    const std::string chairIn1252 = "\xCB\x86\xC3\x96\xC5\xBDq";  // ˆÖŽq
    const std::string chair = "\xE6\xA4\x85\xE5\xAD\x90";         // 椅子
    const std::string replacement = "\xEF\xBF\xBD";

    ToolRun run = runTool(dir, {"inspect", file});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("node 1001 \"" + camera + "\""), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("node 1002 \"" + target + "\""), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("node 1003 \"M\xC3\xB6"
                           "bel\""),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("node 1004 \"" + chairIn1252 + "\""), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("node 1005 \"a" + replacement + "\\u0001b\""), std::string::npos) << run.out;
    // 照射点>ライト-3: the plug-in's own name, whatever the code page.
    EXPECT_NE(run.out.find("node 1006 \"\xE7\x85\xA7\xE5\xB0\x84\xE7\x82\xB9>\xE3\x83\xA9\xE3\x82\xA4\xE3\x83\x88-3\""),
              std::string::npos)
        << run.out;

    for (const char* codePage : {"1252", "932"}) {
        const bool japanese = std::string(codePage) == "932";
        run = runTool(dir, {"inspect", file, "--json", "--raw", "--geometry", "--code-page", codePage});
        ASSERT_EQ(run.status, 0) << run.err;
        const auto json = nlohmann::json::parse(run.out);  // throws on anything but valid UTF-8
        const auto& nodes = json["root"]["children"];
        EXPECT_EQ(nodes[0]["name"], camera) << codePage;
        EXPECT_EQ(nodes[4]["name"], "a" + replacement +
                                        "\x01"
                                        "b")
            << codePage;
        EXPECT_EQ(nodes[3]["name"], japanese ? chair : chairIn1252);
        if (!japanese) {
            EXPECT_EQ(nodes[1]["name"], target);
            EXPECT_EQ(nodes[2]["name"],
                      "M\xC3\xB6"
                      "bel");
            EXPECT_EQ(nodes[2]["subName"], "Gr\xC3\xBCn");
        }
        EXPECT_EQ(nodes[2]["mesh"]["vertices"].size(), 4u);
    }
    run = runTool(dir, {"inspect", file, "--code-page", "1250"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("1250 is not a code page the tool decodes; give 1252 (Western), 932 (Japanese) or 65001"),
              std::string::npos)
        << run.err;

    run = runTool(dir, {"convert", file, (dir / "names.gltf").string()});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto gltf = nlohmann::json::parse(slurp(dir / "names.gltf"));
    std::vector<std::string> names;
    for (const auto& node : gltf["nodes"]) names.push_back(node.value("name", ""));
    EXPECT_NE(std::find(names.begin(), names.end(),
                        "M\xC3\xB6"
                        "bel"),
              names.end())
        << gltf.dump();
}

}  // namespace
