// The loader reads the document value by value: members in any order, keys
// written with escapes, and JSON that is not valid anywhere (also inside keys
// the drawing does not use) refused like a parser of the whole tree would.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "hostsim/document/drawing.h"

namespace pelmora::hostsim {
namespace {

namespace fs = std::filesystem;

std::string errorPath(const std::string& json) {
    try {
        parseDrawing(json);
    } catch (const DocumentError& e) { return e.path(); }
    return "<accepted>";
}

TEST(DrawingLoaderOrder, MembersInAnyOrderGiveTheSameDrawing) {
    // Names used before their lists, the type after the keys it decides,
    // polygons before members: the order of a written document and its reverse.
    const Drawing forward = parseDrawing(R"({"pelmoraDrawing": 1, "classes": ["None", "Walls"],
        "symbols": [{"name": "Chair", "kind": 2}],
        "layers": [{"name": "A", "objects": [
            {"type": "polygon", "class": "Walls", "points": [[0,0,0],[1,0,0],[1,1,0]], "closed": false},
            {"type": "group", "members": [{"type": "instance", "symbol": "Chair"}, {"type": "reference", "layer": "B"}]},
            {"type": 24, "polygons": [{"points": [[0,0,1],[1,0,1],[1,1,1]], "class": "Walls"},
                                      {"members": [{"points": [[2,2,2],[3,2,2],[3,3,2]]}]}]},
            {"type": "light", "properties": {"51": 1.5, "55": 2}}]},
          {"name": "B"}],
        "activeLayer": "B"})");
    const Drawing backward = parseDrawing(R"({"activeLayer": "B",
        "layers": [{"objects": [
            {"closed": false, "points": [[0,0,0],[1,0,0],[1,1,0]], "class": "Walls", "type": "polygon"},
            {"members": [{"symbol": "Chair", "type": "instance"}, {"layer": "B", "type": "reference"}], "type": "group"},
            {"polygons": [{"class": "Walls", "points": [[0,0,1],[1,0,1],[1,1,1]]},
                          {"points": "not read in a group entry", "members": [{"points": [[2,2,2],[3,2,2],[3,3,2]]}]}],
             "type": 24},
            {"properties": {"55": 2, "51": 1.5}, "type": "light"}], "name": "A"},
          {"name": "B"}],
        "symbols": [{"kind": 2, "name": "Chair"}],
        "classes": ["None", "Walls"], "pelmoraDrawing": 1})");
    EXPECT_EQ(forward, backward);
    ASSERT_EQ(forward.layers.size(), 2u);
    EXPECT_EQ(forward.layers[0].objects[0].className, "Walls");
    EXPECT_EQ(forward.layers[0].objects[0].points.size(), 3u);
    EXPECT_EQ(forward.layers[0].objects[1].members[0].symbol, "Chair");
    EXPECT_TRUE((*forward.layers[0].objects[2].polygons)[1].isGroup);
    EXPECT_EQ(forward.activeLayer, "B");

    // The same checks whatever the order: an unknown name after its list or before it.
    EXPECT_EQ(errorPath(R"({"layers": [{"name": "A", "objects": [{"class": "Roof", "type": 25}]}], "pelmoraDrawing": 1,
        "classes": ["None"]})"),
              "layers[0].objects[0].class");
    EXPECT_EQ(
        errorPath(R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"symbol": "Table", "type": 15}]}],
        "symbols": [{"name": "Chair"}]})"),
        "layers[0].objects[0].symbol");
    EXPECT_EQ(errorPath(R"({"pelmoraDrawing": 1, "symbols": [{"name": "Chair"}],
        "layers": [{"name": "A", "objects": [{"symbol": "Table", "type": 15}]}]})"),
              "layers[0].objects[0].symbol");
    // The keys a type does not read are ignored, before or after the type.
    const Drawing light = parseDrawing(R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [
        {"points": 5, "members": "x", "symbol": 3, "type": "light", "closed": []}]}]})");
    EXPECT_TRUE(light.layers[0].objects[0].points.empty());
    // Without a class list the objects take the default one's first class.
    EXPECT_EQ(parseDrawing(R"({"layers": [{"name": "A", "objects": [{"type": 25}]}], "pelmoraDrawing": 1})")
                  .layers[0]
                  .objects[0]
                  .className,
              "None");
}

TEST(DrawingLoaderOrder, EscapedKeysAndNamesAreReadAsTheirText) {
    const Drawing d = parseDrawing(R"({"pelmora\u0044rawing": 1, "classes": ["None", "W\u00e4nde"],
        "layers": [{"n\u0061me": "A\/B", "objects": [{"t\u0079pe": "polygon", "class": "W\u00e4nde",
        "po\u0069nts": [[0,0,0],[1,0,0],[1,1,0]], "name": "tab\there"}]}]})");
    ASSERT_EQ(d.layers.size(), 1u);
    EXPECT_EQ(d.layers[0].name, "A/B");
    const DrawingObject& o = d.layers[0].objects[0];
    EXPECT_EQ(o.type, kCodePolygon);
    EXPECT_EQ(o.className, "W\xe4nde");  // handed on in the host's code page (1252 by default)
    EXPECT_EQ(o.points.size(), 3u);
    EXPECT_EQ(o.name, "tab\there");
}

TEST(DrawingLoaderOrder, KeysGivenTwice) {
    // The last one counts, as with any JSON reader that keeps one value per key...
    const Drawing d = parseDrawing(R"({"pelmoraDrawing": 1, "hostVersion": 14, "hostVersion": 15,
        "layers": [{"name": "A", "objects": [{"type": 25, "points": [[0,0,0]], "points": [[1,1,1],[2,2,2]]}]}]})");
    EXPECT_EQ(d.hostVersion, 15);
    EXPECT_EQ(d.layers[0].objects[0].points.size(), 2u);
    // ...except what decides how other keys are read, which must be unambiguous.
    EXPECT_EQ(errorPath(R"({"pelmoraDrawing": 1, "classes": ["None"], "classes": ["None", "W"]})"), "classes");
    EXPECT_EQ(errorPath(R"({"pelmoraDrawing": 1, "symbols": [], "symbols": []})"), "symbols");
    EXPECT_EQ(errorPath(R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": 81, "type": 25}]}]})"),
              "layers[0].objects[0].type");
    EXPECT_EQ(
        errorPath(
            R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"members": [], "type": 11, "type": 11}]}]})"),
        "layers[0].objects[0].type");
}

// Documents that are not JSON, each placed where the drawing reads a value and
// where it ignores one; a parser of the whole text refuses every one of them.
TEST(DrawingLoaderValidity, JsonThatIsNotValidIsRefusedWhereverItIs) {
    const std::vector<std::string> faults = {
        "tru", "nul",      "falsey",    "01",   "1.",    ".5",        "+1",         "1e",    "-", "1e+",
        "\"x", "\"\\x\"",  "\"\\u12\"", "[1,]", "[1 2]", "{\"a\" 1}", "{\"a\":1,}", "{1:2}", "[", "]",
        "{",   "\"a\tb\"", "'a'",       "NaN",  "[1}",   "\"\xff\"",  "{\"a\":}",   "[,1]"};
    const std::vector<std::string> places = {
        R"({"pelmoraDrawing": 1, "comment": @})",
        R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "colour": @}]})",
        R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": 81, "points": @}]}]})",
        R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": 25, "points": [[0, 0, @]]}]}]})",
        R"({"pelmoraDrawing": 1, "view": {"focal": @}})",
        R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": 24, "polygons": [{"members": [], "x": [@]}]}]}]})",
        R"({"pelmoraDrawing": @})",
    };
    int checked = 0;
    for (const std::string& place : places) {
        for (const std::string& fault : faults) {
            std::string text = place;
            text.replace(text.find('@'), 1, fault);
            ASSERT_FALSE(nlohmann::json::accept(text)) << text;
            EXPECT_THROW(parseDrawing(text), DocumentError) << text;
            ++checked;
        }
    }
    EXPECT_EQ(checked, static_cast<int>(places.size() * faults.size()));
    // Text after the document, and nothing at all.
    EXPECT_EQ(errorPath(R"({"pelmoraDrawing": 1} {"pelmoraDrawing": 1})"), "");
    EXPECT_EQ(errorPath(R"({"pelmoraDrawing": 1} x)"), "");
    EXPECT_EQ(errorPath(""), "");
    EXPECT_EQ(errorPath("   "), "");
    // Valid JSON the drawing does not use is accepted whatever it holds.
    EXPECT_NO_THROW(
        parseDrawing(R"({"pelmoraDrawing": 1, "x": [1e300, -0, 0.5e-3, "\u00e9\ud83d\ude00", {"": null}, [], {}],
        "layers": [{"name": "A", "objects": [{"type": 81, "points": {"a": [true, false, null]}}]}]})"));
}

std::string errorText(const std::string& json) {
    try {
        parseDrawing(json);
    } catch (const DocumentError& e) { return e.what(); }
    return "<accepted>";
}

std::string utf16(const std::string& ascii, bool bigEndian) {
    std::string wide;
    for (char c : ascii) wide += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
    return wide;
}

std::string utf32(const std::string& ascii, bool bigEndian) {
    std::string wide;
    for (char c : ascii) wide += bigEndian ? std::string{'\0', '\0', '\0', c} : std::string{c, '\0', '\0', '\0'};
    return wide;
}

// A document the parser refuses as a whole is refused for what it is, at the
// byte where that shows; a number beyond a double's range is skipped where
// the drawing does not use it and refused at its path where it does.
TEST(DrawingLoaderValidity, RefusalsNameTheFaultOfTheWholeTextAndItsByte) {
    const std::string doc = R"({"pelmoraDrawing": 1, "layers": [{"name": "A"}]})";  // 48 bytes
    const std::string convert = "; a drawing document is UTF-8: convert it, for example with iconv -f ";
    const std::pair<std::string, std::string> cases[] = {
        {"\xEF\xBB\xBF" + doc,
         "the document begins with a UTF-8 byte order mark, the bytes EF BB BF (at byte 0), which JSON does not "
         "allow: save it as UTF-8 without a byte order mark"},
        {"\xFF\xFE" + utf16(doc, false),
         "the document is UTF-16 (little-endian) text with a byte order mark (at byte 0)" + convert +
             "UTF-16LE -t UTF-8"},
        {utf16(doc, false), "the document is UTF-16 (little-endian) text (at byte 0)" + convert + "UTF-16LE -t UTF-8"},
        {utf16(doc, true), "the document is UTF-16 (big-endian) text (at byte 0)" + convert + "UTF-16BE -t UTF-8"},
        {utf32(doc, false), "the document is UTF-32 (little-endian) text (at byte 0)" + convert + "UTF-32LE -t UTF-8"},
        {std::string("\0\0\xFE\xFF", 4) + utf32(doc, true),
         "the document is UTF-32 (big-endian) text with a byte order mark (at byte 0)" + convert + "UTF-32BE -t UTF-8"},
        {doc + " x", "not a valid JSON document: more text after the end of the document (at byte 49)"},
        {doc + "\n\n{}", "not a valid JSON document: more text after the end of the document (at byte 50)"},
        {doc + "]", "not a valid JSON document: more text after the end of the document (at byte 48)"},
        {doc.substr(0, 40),
         "not a valid JSON document: the document ends in the middle of the object that begins at byte 33 "
         "(at byte 40); the file may have been cut short"},
        {doc.substr(0, 33),
         "not a valid JSON document: the document ends in the middle of the array that begins at byte 32 "
         "(at byte 33); the file may have been cut short"},
        {doc.substr(0, 35),
         "not a valid JSON document: the document ends in the middle of the text that begins at byte 34 "
         "(at byte 35); the file may have been cut short"},
        {R"({"pelmoraDrawing": 1, "view": {"focal": 1e400}})",
         "view.focal: the number is out of the range of a double (about 1.8e308)"},
        {R"({"pelmoraDrawing": 1, "hostVersion": -1E+400})", "hostVersion: expected an integer"},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(errorText(text), expected) << text;
    // Where the drawing does not use it, a number of any size is only read through.
    const Drawing d = parseDrawing(R"({"pelmoraDrawing": 1, "x": 1e400, "layers": [{"name": "A", "y": [-1e400, 1E+999],
        "objects": [{"type": "light", "points": 1e400, "properties": {"51": 2.5}}]}]})");
    EXPECT_EQ(d.layers.at(0).objects.at(0).properties.at(51).doubleValue, 2.5);
}

TEST(DrawingLoaderValidity, NumbersAsTheDrawingReadsThem) {
    // Integers beyond 64 bits: out of range where an integer is expected, a
    // double as a light property (as a number written with a point would be).
    EXPECT_EQ(errorPath(R"({"pelmoraDrawing": 1, "hostVersion": 123456789012345678901234567890})"), "hostVersion");
    EXPECT_EQ(errorPath(R"({"pelmoraDrawing": 1, "hostVersion": -123456789012345678901234567890})"), "hostVersion");
    EXPECT_EQ(errorPath(R"({"pelmoraDrawing": 1, "hostVersion": 18446744073709551615})"), "hostVersion");
    const Drawing d = parseDrawing(R"({"pelmoraDrawing": 1, "unitsPerInch": 123456789012345678901234567890,
        "layers": [{"name": "A", "objects": [{"type": 81, "properties": {"51": 123456789012345678901234567890, "52": -0,
        " +55": 7, "56": 1E2}}]}]})");
    EXPECT_EQ(d.unitsPerInch, 123456789012345678901234567890.0);
    const auto& properties = d.layers[0].objects[0].properties;
    EXPECT_EQ(properties.at(51).kind, PropertyValue::Kind::Double);
    EXPECT_EQ(properties.at(51).doubleValue, 123456789012345678901234567890.0);
    EXPECT_EQ(properties.at(52).kind, PropertyValue::Kind::Int16);
    EXPECT_EQ(properties.at(55).intValue, 7);  // leading blanks and a sign, as before
    EXPECT_EQ(properties.at(56).kind, PropertyValue::Kind::Double);
    EXPECT_EQ(
        errorPath(
            R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": 81, "properties": {"5 5": 1}}]}]})"),
        "layers[0].objects[0].properties.5 5");
    EXPECT_EQ(
        errorPath(
            R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": 81, "properties": {"4294967351": 1}}]}]})"),
        "layers[0].objects[0].properties.4294967351");
    // A point: its length decides before the type of its entries.
    EXPECT_EQ(errorPath(R"({"pelmoraDrawing": 1, "view": {"origin": [1, "x"]}})"), "view.origin");
    EXPECT_EQ(errorPath(R"({"pelmoraDrawing": 1, "view": {"origin": [1, "x", 3]}})"), "view.origin[1]");
    EXPECT_EQ(errorPath(R"({"pelmoraDrawing": 1, "view": {"box": [1, "x", 3]}})"), "view.box");
}

TEST(DrawingLoaderValidity, DepthLimitCountsEveryContainer) {
    // Deepest nesting allowed: 288 containers around a value.
    auto nested = [](int levels) {
        return R"({"pelmoraDrawing": 1, "x": )" + std::string(static_cast<std::size_t>(levels), '[') + "0" +
               std::string(static_cast<std::size_t>(levels), ']') + "}";
    };
    EXPECT_NO_THROW(parseDrawing(nested(287)));
    EXPECT_THROW(parseDrawing(nested(288)), DocumentError);
}

TEST(DrawingLoaderFiles, FileThatIsNotADocument) {
    const fs::path dir = fs::path(::testing::TempDir()) / "pelmora-loader-folder";
    fs::create_directories(dir);
    try {
        loadDrawing(dir.string());
        FAIL() << "a folder was read";
    } catch (const DocumentError& e) {
        EXPECT_EQ(e.path(), "");
        EXPECT_NE(std::string(e.what()).find("not a file"), std::string::npos) << e.what();
    }
    const fs::path empty = dir / "empty.json";
    { std::ofstream touch(empty); }
    EXPECT_THROW(loadDrawing(empty.string()), DocumentError);
    fs::remove_all(dir);
}

TEST(DrawingLoaderFiles, ALargeDocumentLoadsWhileItsTextIsGivenBack) {
    // Several megabytes of objects: the text read so far is given back while
    // the objects are built; what was read must be what the file holds.
    Drawing d;
    d.classes = {"None", "C"};
    Layer layer;
    layer.name = "A";
    for (int i = 0; i < 60000; ++i) {
        DrawingObject o;
        o.type = kCodePolygon;
        o.className = i % 3 == 0 ? "C" : "None";
        o.name = "object " + std::to_string(i);
        for (int k = 0; k < 4; ++k) o.points.push_back({i * 1.25 + k, i * 0.5 - k, k * 1e-3});
        layer.objects.push_back(std::move(o));
    }
    d.layers.push_back(std::move(layer));
    d.activeLayer = "A";
    const std::string text = serializeDrawing(d);
    ASSERT_GT(text.size(), std::size_t{8} << 20);  // beyond the step in which text is given back
    const fs::path file = fs::path(::testing::TempDir()) / "pelmora-large-drawing.json";
    { std::ofstream(file, std::ios::binary) << text; }
    EXPECT_EQ(loadDrawing(file.string()), d);
    EXPECT_EQ(parseDrawing(text), d);
    fs::remove(file);
}

}  // namespace
}  // namespace pelmora::hostsim
