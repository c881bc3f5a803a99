#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include "hostsim/document/drawing.h"

namespace pelmora::hostsim {
namespace {

namespace fs = std::filesystem;

std::string pathOfError(const std::string& json) {
    try {
        parseDrawing(json);
    } catch (const DocumentError& e) { return e.path(); }
    return "<accepted>";
}

TEST(DrawingLoader, DefaultsOfAMinimalDocument) {
    Drawing d = parseDrawing(R"({"pelmoraDrawing": 1})");
    EXPECT_EQ(d.formatVersion, 1);
    EXPECT_DOUBLE_EQ(d.unitsPerInch, 25.4);
    EXPECT_EQ(d.hostVersion, 13);
    EXPECT_TRUE(d.canRun);
    EXPECT_EQ(d.currentItem, 2);
    EXPECT_EQ(d.classes, std::vector<std::string>{"None"});
    EXPECT_FALSE(d.view.has_value());
    EXPECT_TRUE(d.layers.empty());
    EXPECT_TRUE(d.activeLayer.empty());
    EXPECT_TRUE(d.symbols.empty());
}

TEST(DrawingLoader, ReadsEveryKey) {
    Drawing d = parseDrawing(R"({
      "pelmoraDrawing": 1, "unitsPerInch": 1, "hostVersion": 15, "canRun": false, "currentItem": 3,
      "classes": ["None", "Walls", "Glass"],
      "view": {"perspective": false, "rotation": [[0,1,0],[1,0,0],[0,0,-1]], "origin": [1,2,3],
               "distance": 5000, "focal": 1000, "box": [-2, -1, 2, 1]},
      "layers": [
        {"name": "Ground", "visible": false, "elevation": 300, "objects": [
          {"type": "polygon", "class": "Walls", "name": "wall", "selected": true, "visible": false,
           "points": [[0,0,0],[1000,0,0],[1000,0,2500]], "closed": false, "vertexData": false,
           "records": [{"tag": "rDgN", "hex": "00ff10"}]},
          {"type": "group", "members": [{"type": "end"}, {"type": 24, "polygons": []}]},
          {"type": "instance", "symbol": "Chair", "polygons": [
             {"points": [[0,0,0],[1,0,0],[1,1,0]], "class": "Glass", "vertexData": false},
             {"members": [{"points": [[0,0,1],[1,0,1],[1,1,1]]}]}]},
          {"type": "reference", "layer": "Upper"},
          {"type": "reference", "layer": null},
          {"type": "light", "name": "Sun", "properties": {"50": true, "51": 1.0, "52": [1, 0.5, 0], "55": 2, "61": 2e1}}
        ]},
        {"name": "Upper"}
      ],
      "activeLayer": "Upper",
      "symbols": [{"name": "Chair", "kind": 2}, {"name": "Table"}]
    })");
    EXPECT_DOUBLE_EQ(d.unitsPerInch, 1.0);
    EXPECT_EQ(d.hostVersion, 15);
    EXPECT_FALSE(d.canRun);
    EXPECT_EQ(d.currentItem, 3);
    EXPECT_EQ(d.classes.size(), 3u);
    ASSERT_TRUE(d.view.has_value());
    EXPECT_FALSE(d.view->perspective);
    EXPECT_EQ(d.view->rotation[0][1], 1.0);
    EXPECT_EQ(d.view->rotation[2][2], -1.0);
    EXPECT_EQ(d.view->origin, (Point3{1, 2, 3}));
    EXPECT_EQ(d.view->distance, 5000.0);
    EXPECT_EQ(d.view->focal, 1000.0);
    EXPECT_EQ(d.view->box, (std::array<double, 4>{-2, -1, 2, 1}));
    ASSERT_EQ(d.layers.size(), 2u);
    const Layer& ground = d.layers[0];
    EXPECT_FALSE(ground.visible);
    EXPECT_EQ(ground.elevation, 300.0);
    ASSERT_EQ(ground.objects.size(), 6u);

    const DrawingObject& wall = ground.objects[0];
    EXPECT_EQ(wall.type, 25);
    EXPECT_EQ(wall.className, "Walls");
    EXPECT_EQ(wall.name, "wall");
    EXPECT_TRUE(wall.selected);
    EXPECT_FALSE(wall.visible);
    EXPECT_FALSE(wall.closed);
    EXPECT_FALSE(wall.vertexData);
    ASSERT_EQ(wall.points.size(), 3u);
    EXPECT_EQ(wall.points[2], (Point3{1000, 0, 2500}));
    ASSERT_EQ(wall.records.size(), 1u);
    // "rDgN" as the bytes of a little-endian uint32: 'r' is the lowest byte.
    EXPECT_EQ(wall.records[0].tag, 0x4E674472u);
    EXPECT_EQ(wall.records[0].bytes, (std::vector<std::uint8_t>{0x00, 0xFF, 0x10}));

    const DrawingObject& group = ground.objects[1];
    EXPECT_EQ(group.type, 11);
    EXPECT_EQ(group.className, "None");  // the first class
    ASSERT_EQ(group.members.size(), 2u);
    EXPECT_EQ(group.members[0].type, 0);
    EXPECT_EQ(group.members[1].type, 24);
    ASSERT_TRUE(group.members[1].polygons.has_value());
    EXPECT_TRUE(group.members[1].polygons->empty());
    EXPECT_FALSE(group.polygons.has_value());

    const DrawingObject& instance = ground.objects[2];
    EXPECT_EQ(instance.type, 15);
    EXPECT_EQ(instance.symbol, "Chair");
    ASSERT_TRUE(instance.polygons.has_value());
    ASSERT_EQ(instance.polygons->size(), 2u);
    EXPECT_FALSE((*instance.polygons)[0].isGroup);
    EXPECT_EQ((*instance.polygons)[0].className, "Glass");
    EXPECT_FALSE((*instance.polygons)[0].vertexData);
    EXPECT_TRUE((*instance.polygons)[1].isGroup);
    ASSERT_EQ((*instance.polygons)[1].members.size(), 1u);
    EXPECT_EQ((*instance.polygons)[1].members[0].className, "");  // the converted object's class

    EXPECT_EQ(ground.objects[3].referredLayer, std::optional<std::string>("Upper"));
    EXPECT_FALSE(ground.objects[4].referredLayer.has_value());

    const DrawingObject& light = ground.objects[5];
    EXPECT_EQ(light.type, 81);
    ASSERT_EQ(light.properties.size(), 5u);
    EXPECT_EQ(light.properties.at(50).kind, PropertyValue::Kind::Bool);
    EXPECT_TRUE(light.properties.at(50).boolValue);
    EXPECT_EQ(light.properties.at(51).kind, PropertyValue::Kind::Double);
    EXPECT_EQ(light.properties.at(51).doubleValue, 1.0);
    EXPECT_EQ(light.properties.at(52).kind, PropertyValue::Kind::Point);
    EXPECT_EQ(light.properties.at(52).pointValue, (Point3{1, 0.5, 0}));
    EXPECT_EQ(light.properties.at(55).kind, PropertyValue::Kind::Int16);
    EXPECT_EQ(light.properties.at(55).intValue, 2);
    EXPECT_EQ(light.properties.at(61).kind, PropertyValue::Kind::Double);  // exponent: a double
    EXPECT_EQ(light.properties.at(61).doubleValue, 20.0);

    EXPECT_EQ(d.activeLayer, "Upper");
    ASSERT_EQ(d.symbols.size(), 2u);
    EXPECT_EQ(d.symbols[0].kind, 2);
    EXPECT_EQ(d.symbols[1].kind, 1);
}

TEST(DrawingLoader, ActiveLayerDefaultsToTheFirstLayer) {
    Drawing d = parseDrawing(R"({"pelmoraDrawing": 1, "layers": [{"name": "A"}, {"name": "B"}]})");
    EXPECT_EQ(d.activeLayer, "A");
}

TEST(DrawingLoader, UnknownKeysAreIgnored) {
    Drawing d = parseDrawing(R"({"pelmoraDrawing": 1, "comment": "x", "layers": [{"name": "A", "colour": 3,
        "objects": [{"type": "light", "points": "not read for lights"}]}]})");
    EXPECT_EQ(d.layers[0].objects[0].type, 81);
}

TEST(DrawingLoader, LongNamesAreKept) {
    std::string name(300, 'n');
    Drawing d = parseDrawing(R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": 81, "name": ")" +
                             name + R"("}]}]})");
    EXPECT_EQ(d.layers[0].objects[0].name, name);
}

struct BadDocument {
    const char* json;
    const char* path;
};

class DrawingLoaderErrors : public ::testing::TestWithParam<BadDocument> {};

TEST_P(DrawingLoaderErrors, NamesTheJsonPathOfTheBadValue) {
    EXPECT_EQ(pathOfError(GetParam().json), GetParam().path) << GetParam().json;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, DrawingLoaderErrors,
    ::testing::Values(
        BadDocument{R"([1])", ""}, BadDocument{R"({"pelmoraDrawing": 1,)", ""}, BadDocument{R"({})", "pelmoraDrawing"},
        BadDocument{R"({"pelmoraDrawing": 2})", "pelmoraDrawing"},
        BadDocument{R"({"pelmoraDrawing": "1"})", "pelmoraDrawing"},
        BadDocument{R"({"pelmoraDrawing": 1, "unitsPerInch": "mm"})", "unitsPerInch"},
        BadDocument{R"({"pelmoraDrawing": 1, "unitsPerInch": 0})", "unitsPerInch"},
        BadDocument{R"({"pelmoraDrawing": 1, "unitsPerInch": 1e999})", "unitsPerInch"},
        BadDocument{R"({"pelmoraDrawing": 1, "hostVersion": 256})", "hostVersion"},
        BadDocument{R"({"pelmoraDrawing": 1, "hostVersion": 13.5})", "hostVersion"},
        BadDocument{R"({"pelmoraDrawing": 1, "canRun": 1})", "canRun"},
        BadDocument{R"({"pelmoraDrawing": 1, "currentItem": 4})", "currentItem"},
        BadDocument{R"({"pelmoraDrawing": 1, "classes": []})", "classes"},
        BadDocument{R"({"pelmoraDrawing": 1, "classes": ["A", 2]})", "classes[1]"},
        BadDocument{R"({"pelmoraDrawing": 1, "classes": ["A", "A"]})", "classes[1]"},
        BadDocument{R"({"pelmoraDrawing": 1, "view": {"rotation": [[1,0,0],[0,1,0]]}})", "view.rotation"},
        BadDocument{R"({"pelmoraDrawing": 1, "view": {"rotation": [[1,0,0],[0,1,0],[0,"1",0]]}})",
                    "view.rotation[2][1]"},
        BadDocument{R"({"pelmoraDrawing": 1, "view": {"origin": [0,0]}})", "view.origin"},
        BadDocument{R"({"pelmoraDrawing": 1, "view": {"box": [1,2,3]}})", "view.box"},
        BadDocument{R"({"pelmoraDrawing": 1, "view": {"focal": true}})", "view.focal"},
        BadDocument{R"({"pelmoraDrawing": 1, "view": 3})", "view"},
        BadDocument{R"({"pelmoraDrawing": 1, "layers": {}})", "layers"},
        BadDocument{R"({"pelmoraDrawing": 1, "layers": [{}]})", "layers[0].name"},
        BadDocument{R"({"pelmoraDrawing": 1, "layers": [{"name": "A"}, {"name": "A"}]})", "layers[1].name"},
        BadDocument{R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "elevation": "high"}]})", "layers[0].elevation"},
        BadDocument{R"({"pelmoraDrawing": 1, "layers": [{"name": "A"}], "activeLayer": "B"})", "activeLayer"},
        BadDocument{R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{}]}]})",
                    "layers[0].objects[0].type"},
        BadDocument{R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": "circle"}]}]})",
                    "layers[0].objects[0].type"},
        BadDocument{R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": 40000}]}]})",
                    "layers[0].objects[0].type"},
        BadDocument{R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": 25, "class": "Roof"}]}]})",
                    "layers[0].objects[0].class"},
        BadDocument{
            R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": 25}, {"type": 25, "points": [[0,0,0],[1,0,0],[1,1],[0,1,0]]}]}]})",
            "layers[0].objects[1].points[2]"},
        BadDocument{
            R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": 25, "points": [[0,0,"z"]]}]}]})",
            "layers[0].objects[0].points[0][2]"},
        BadDocument{R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": 25, "closed": "yes"}]}]})",
                    "layers[0].objects[0].closed"},
        BadDocument{
            R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": "group", "members": [{"type": 25, "selected": 0}]}]}]})",
            "layers[0].objects[0].members[0].selected"},
        BadDocument{
            R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": "instance", "symbol": "Chair"}]}]})",
            "layers[0].objects[0].symbol"},
        BadDocument{
            R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": "reference", "layer": "B"}]}]})",
            "layers[0].objects[0].layer"},
        BadDocument{R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": 81, "name": 5}]}]})",
                    "layers[0].objects[0].name"},
        BadDocument{
            R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": 81, "properties": {"x": 1}}]}]})",
            "layers[0].objects[0].properties.x"},
        BadDocument{
            R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": 81, "properties": {"55": 70000}}]}]})",
            "layers[0].objects[0].properties.55"},
        BadDocument{
            R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": 81, "properties": {"54": [1,2]}}]}]})",
            "layers[0].objects[0].properties.54"},
        BadDocument{
            R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": 81, "properties": {"52": "red"}}]}]})",
            "layers[0].objects[0].properties.52"},
        BadDocument{
            R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": 81, "records": [{"tag": "rDg"}]}]}]})",
            "layers[0].objects[0].records[0].tag"},
        BadDocument{
            R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": 81, "records": [{"tag": "rDgN", "hex": "abc"}]}]}]})",
            "layers[0].objects[0].records[0].hex"},
        BadDocument{
            R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": 81, "records": [{"tag": "rDgN", "hex": "zz"}]}]}]})",
            "layers[0].objects[0].records[0].hex"},
        BadDocument{
            R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": 24, "polygons": [{"points": [[0,0,0]], "class": "X"}]}]}]})",
            "layers[0].objects[0].polygons[0].class"},
        BadDocument{
            R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": 24, "polygons": [{"members": [{"points": [[0,0]]}]}]}]}]})",
            "layers[0].objects[0].polygons[0].members[0].points[0]"},
        BadDocument{R"({"pelmoraDrawing": 1, "symbols": [{"name": "S"}, {"name": "S"}]})", "symbols[1].name"},
        BadDocument{R"({"pelmoraDrawing": 1, "symbols": [{"name": "S", "kind": 1.5}]})", "symbols[0].kind"}));

std::string nestedGroups(int levels) {
    std::string json = R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [)";
    for (int i = 0; i < levels; ++i) json += R"({"type": "group", "members": [)";
    for (int i = 0; i < levels; ++i) json += "]}";
    return json + "]}]}";
}

std::string nestedPolygonGroups(int levels) {
    std::string json = R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": 24, "polygons": [)";
    for (int i = 0; i < levels; ++i) json += R"({"members": [)";
    for (int i = 0; i < levels; ++i) json += "]}";
    return json + "]}]}]}";
}

TEST(DrawingLoaderLimits, GroupNesting) {
    EXPECT_NO_THROW(parseDrawing(nestedGroups(kMaxNestingDepth)));
    std::string expected = "layers[0].objects[0]";
    for (int i = 1; i < kMaxNestingDepth + 1; ++i) expected += ".members[0]";
    EXPECT_EQ(pathOfError(nestedGroups(kMaxNestingDepth + 1)), expected);
}

TEST(DrawingLoaderLimits, ConversionGroupNesting) {
    EXPECT_NO_THROW(parseDrawing(nestedPolygonGroups(kMaxNestingDepth)));
    EXPECT_NE(pathOfError(nestedPolygonGroups(kMaxNestingDepth + 1)), "<accepted>");
}

TEST(DrawingLoaderLimits, AbsurdJsonNestingIsRefusedWithoutCrashing) {
    std::string deep = R"({"pelmoraDrawing": 1, "x": )" + std::string(200000, '[') + std::string(200000, ']') + "}";
    EXPECT_THROW(parseDrawing(deep), DocumentError);
}

TEST(DrawingLoaderLimits, PolygonOfMoreVerticesThanTheHostCanCount) {
    std::string points;
    for (int i = 0; i < 32768; ++i) points += (i ? ",[0,0,0]" : "[0,0,0]");
    EXPECT_EQ(pathOfError(R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": 25, "points": [)" +
                          points + "]}]}]}"),
              "layers[0].objects[0].points");
}

// Every kind of name, at the text limit and one byte over, written plainly
// and as escapes (six characters a byte: the longest form the limit allows).
TEST(DrawingLoaderLimits, TextsUpToTheLimitAreTakenLongerOnesRefusedWithTheirPath) {
    const std::string tooLong = "exceeds the limit of " + std::to_string(kMaxTextBytes);
    const std::pair<std::string, std::string> places[] = {
        {R"({"pelmoraDrawing": 1, "classes": ["TEXT"]})", "classes[0]"},
        {R"({"pelmoraDrawing": 1, "symbols": [{"name": "TEXT"}]})", "symbols[0].name"},
        {R"({"pelmoraDrawing": 1, "layers": [{"name": "TEXT"}]})", "layers[0].name"},
        {R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": 81, "name": "TEXT"}]}]})",
         "layers[0].objects[0].name"}};
    for (const auto& [document, path] : places) {
        for (bool escaped : {false, true}) {
            for (std::size_t size : {kMaxTextBytes, kMaxTextBytes + 1}) {
                SCOPED_TRACE(path + (escaped ? ", escaped, " : ", ") + std::to_string(size));
                std::string text;
                for (std::size_t i = 0; i < size; ++i) text += escaped ? "\\u0041" : "A";
                std::string json = document;
                json.replace(json.find("TEXT"), 4, text);
                if (size == kMaxTextBytes) {
                    EXPECT_NO_THROW(parseDrawing(json));
                    continue;
                }
                try {
                    parseDrawing(json);
                    ADD_FAILURE() << "accepted";
                } catch (const DocumentError& e) {
                    EXPECT_EQ(e.path(), path);
                    EXPECT_NE(std::string(e.what()).find(tooLong), std::string::npos) << e.what();
                }
            }
        }
    }
}

// Arrays are counted before the document is parsed: at the limit the first
// entry is read (and is no object or text), over it the array is refused whole.
TEST(DrawingLoaderLimits, ArraysUpToTheLimitAreReadLongerOnesRefusedWithTheirPath) {
    const std::pair<std::string, std::string> places[] = {
        {R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [ENTRIES]}]})", "layers[0].objects"},
        {R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": "group", "members": [ENTRIES]}]}]})",
         "layers[0].objects[0].members"},
        {R"({"pelmoraDrawing": 1, "x": {"y": "[,]\\\"", "z": [1, [2]]}, "classes": [ENTRIES]})", "classes"}};
    for (const auto& [document, path] : places) {
        for (std::size_t count : {kMaxArrayLength, kMaxArrayLength + 1}) {
            SCOPED_TRACE(path + " " + std::to_string(count));
            std::string entries;
            entries.reserve(2 * count);
            for (std::size_t i = 0; i < count; ++i) entries += i ? ",0" : "0";
            std::string json = document;
            json.replace(json.find("ENTRIES"), 7, entries);
            try {
                parseDrawing(json);
                ADD_FAILURE() << "accepted";
            } catch (const DocumentError& e) {
                EXPECT_EQ(e.path(), count == kMaxArrayLength ? path + "[0]" : path) << e.what();
            }
        }
    }
}

TEST(DrawingLoaderFiles, MissingFileIsADocumentError) {
    EXPECT_THROW(loadDrawing((fs::path(::testing::TempDir()) / "no-such-drawing.json").string()), DocumentError);
}

TEST(DrawingLoaderFiles, RefusedDocumentLeavesTheFileAsItWas) {
    fs::path file = fs::path(::testing::TempDir()) / "pelmora-bad-drawing.json";
    const std::string text = R"({"pelmoraDrawing": 1, "layers": [{"name": 7}]})";
    { std::ofstream(file) << text; }
    try {
        loadDrawing(file.string());
        FAIL() << "accepted";
    } catch (const DocumentError& e) {
        EXPECT_EQ(e.path(), "layers[0].name");
        EXPECT_NE(std::string(e.what()).find("layers[0].name"), std::string::npos);
    }
    std::stringstream back;
    {
        std::ifstream in(file);
        back << in.rdbuf();
    }  // closed first: Windows removes no open file
    EXPECT_EQ(back.str(), text);
    fs::remove(file);
}

const char* kRichDocument = R"({
  "pelmoraDrawing": 1, "unitsPerInch": 2.54, "hostVersion": 14, "canRun": true, "currentItem": 1,
  "classes": ["None", "Walls"],
  "view": {"perspective": true, "rotation": [[0.5,0.25,0],[0,1,0],[0,0,1]], "origin": [0.1,0.2,0.3],
           "distance": 1234.5, "focal": 17, "box": [-1, -0.5, 1, 0.5]},
  "layers": [
    {"name": "Ground", "elevation": -12.5, "objects": [
      {"type": "polygon", "class": "Walls", "points": [[0,0,0],[1,0,0],[1,1,0.333333333333]], "closed": false},
      {"type": "group", "visible": false, "members": [{"type": 25, "selected": true, "vertexData": false}, {"type": 0}]},
      {"type": 15, "symbol": "S", "polygons": [{"points": [[0,0,0]], "class": "None"}, {"members": []}]},
      {"type": 29, "layer": "Upper"},
      {"type": 81, "name": "Lamp", "records": [{"tag": "rDgN", "hex": "0102"}, {"tag": 7, "hex": ""}],
       "properties": {"50": false, "51": 3.0, "54": [1,2,3], "55": -1}},
      {"type": 1234, "polygons": [{"points": [[9,9,9]], "vertexData": false, "closed": false}]}
    ]},
    {"name": "Upper", "visible": false}
  ],
  "activeLayer": "Upper",
  "symbols": [{"name": "S", "kind": -3}]
})";

TEST(DrawingRoundTrip, SerializedDrawingLoadsBackEqual) {
    Drawing first = parseDrawing(kRichDocument);
    std::string text = serializeDrawing(first);
    Drawing second = parseDrawing(text);
    EXPECT_EQ(first, second) << text;
    EXPECT_EQ(serializeDrawing(second), text);
}

TEST(DrawingRoundTrip, UnprintableTagsSurvive) {
    Drawing d = parseDrawing(R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": 81}]}]})");
    d.layers[0].objects[0].records.push_back({0x00FF0A01u, {1, 2, 3}});
    EXPECT_EQ(parseDrawing(serializeDrawing(d)), d);
}

TEST(DrawingRoundTrip, NonFiniteValuesAreRefusedWhenWriting) {
    Drawing d = parseDrawing(R"({"pelmoraDrawing": 1, "layers": [{"name": "A"}]})");
    d.layers[0].elevation = std::numeric_limits<double>::infinity();
    EXPECT_THROW(serializeDrawing(d), std::invalid_argument);
}

TEST(DrawingRoundTrip, AtomicSaveReplacesTheFileAndLeavesNothingBehind) {
    fs::path dir = fs::path(::testing::TempDir()) / "pelmora-save-test";
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::path file = dir / "drawing.json";
    { std::ofstream(file) << "old"; }
    Drawing d = parseDrawing(kRichDocument);
    saveDrawingAtomically(d, file.string());
    EXPECT_EQ(loadDrawing(file.string()), d);
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) ++entries;
    EXPECT_EQ(entries, 1);
    fs::remove_all(dir);
}

TEST(DrawingRoundTrip, SaveIntoAMissingFolderFailsLoudly) {
    fs::path file = fs::path(::testing::TempDir()) / "pelmora-no-such-folder" / "drawing.json";
    EXPECT_THROW(saveDrawingAtomically(parseDrawing(R"({"pelmoraDrawing": 1})"), file.string()), std::runtime_error);
}

}  // namespace
}  // namespace pelmora::hostsim
