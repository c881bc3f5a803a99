// Names in the host's code page: the drawing document's Unicode names reach
// the plug-in in the document's codePage (1252 when absent), a name the code
// page cannot hold is refused at its JSON path, the template files are found
// by those names in any case of their extension, and the document is written
// back in Unicode.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "hostsim/document/drawing.h"
#include "platform/code_page.h"
#include "qmxread/qmx_reader.h"
#include "tests/support/export_run_fixture.h"

namespace pelmora {
namespace {

namespace fs = std::filesystem;
using hostsim::DocumentError;

std::string namesDocument(const std::string& file) {
    return exporttest::readFile(std::string(PELMORA_SOURCE_DIR) + "/tests/data/names/" + file);
}

std::string refusedAt(const std::string& json) {
    try {
        hostsim::parseDrawing(json);
    } catch (const DocumentError& error) { return error.path(); }
    return "accepted";
}

TEST(CodePage, NamesReachTheHostInItsCodePageOrAreRefusedWithTheirPath) {
    const hostsim::Drawing western = hostsim::parseDrawing(namesDocument("names.json"));
    EXPECT_EQ(western.codePage, 1252);
    EXPECT_EQ(western.classes[1],
              "M\xF6"
              "bel");
    EXPECT_EQ(western.layers[0].name, "Erdgescho\xDF");
    EXPECT_EQ(western.layers[0].objects[0].className,
              "M\xF6"
              "bel");
    EXPECT_EQ(western.layers[0].objects[3].name,
              "K\xFC"
              "chenlampe");
    EXPECT_EQ(western.activeLayer, "Erdgescho\xDF");

    // Absent: 1252. 932: Shift-JIS. 65001: the UTF-8 bytes unchanged.
    EXPECT_EQ(hostsim::parseDrawing(R"({"pelmoraDrawing": 1, "classes": ["é"]})").classes[0], "\xE9");
    const auto japanese = hostsim::parseDrawing(
        R"({"pelmoraDrawing": 1, "codePage": 932, "classes": ["家具"], "layers": [{"name": "一階"}]})");
    EXPECT_EQ(japanese.classes[0], "\x89\xC6\x8B\xEF");
    EXPECT_EQ(japanese.layers[0].name, "\x88\xEA\x8A\x4B");
    EXPECT_EQ(hostsim::parseDrawing(R"({"pelmoraDrawing": 1, "codePage": 65001, "classes": ["家具"]})").classes[0],
              "家具");

    // What the code page cannot hold, and an unknown code page.
    EXPECT_EQ(refusedAt(R"({"pelmoraDrawing": 1, "classes": ["None", "家具"]})"), "classes[1]");
    EXPECT_EQ(refusedAt(R"({"pelmoraDrawing": 1, "codePage": 932, "classes": ["Möbel"]})"), "classes[0]");
    EXPECT_EQ(refusedAt(R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [
        {"type": "polygon", "points": []},
        {"type": "group", "members": [{"type": "light", "name": "ライト"}]}]}]})"),
              "layers[0].objects[1].members[0].name");
    EXPECT_EQ(refusedAt(R"({"pelmoraDrawing": 1, "classes": ["None"], "layers": [{"name": "A", "objects": [
        {"type": 68, "polygons": [{"members": [{"class": "None", "points": []}]}], "name": "€ ok"},
        {"type": 68, "name": "Ω"}]}]})"),
              "layers[0].objects[1].name");
    EXPECT_EQ(refusedAt(R"({"pelmoraDrawing": 1, "symbols": [{"name": "Ω"}]})"), "symbols[0].name");
    EXPECT_EQ(refusedAt(R"({"pelmoraDrawing": 1, "codePage": 850})"), "codePage");
    try {
        hostsim::parseDrawing(R"({"pelmoraDrawing": 1, "classes": ["None", "家具"]})");
    } catch (const DocumentError& error) {
        EXPECT_NE(std::string(error.what()).find("code page 1252"), std::string::npos) << error.what();
    }

    // Written back, the names are Unicode again and load into the same drawing.
    for (const hostsim::Drawing& drawing : {western, japanese}) {
        const std::string text = hostsim::serializeDrawing(drawing);
        EXPECT_EQ(hostsim::parseDrawing(text), drawing);
    }
    EXPECT_NE(hostsim::serializeDrawing(japanese).find("家具"), std::string::npos);
}

TEST(CodePage, DecodingForDisplayIsAlwaysValidUtf8) {
    EXPECT_EQ(base::toUtf8Replacing("\x83\x4A\x83\x81\x83\x89", 932), "カメラ");
    EXPECT_EQ(base::toUtf8Replacing("M\xF6"
                                    "bel",
                                    1252),
              "Möbel");
    // A lone lead byte, a byte 1252 leaves undefined, broken UTF-8.
    EXPECT_EQ(base::toUtf8Replacing("A\x83", 932), "A\xEF\xBF\xBD");
#if !defined(_WIN32)
    // Windows maps the five bytes 1252 leaves undefined to C1 controls; iconv refuses them.
    EXPECT_EQ(base::toUtf8Replacing("\x81x", 1252), "\xEF\xBF\xBDx");
#endif
    EXPECT_EQ(base::toUtf8Replacing("\xC3(", 65001), "\xEF\xBF\xBD(");
    EXPECT_FALSE(base::fromUtf8("\xC3(", 1252).has_value());
    EXPECT_FALSE(base::knownCodePage(437));
}

// The drawing of the byte comparison between the platforms: a class
// "Möbel" finds "Möbel.qmt" and its id in the id table, "Dach" finds
// "Dach.QMT", "Küche" has no template; the named light keeps its name's bytes
// beside the fixed names in code page 932.
TEST(CodePage, TemplatesAreFoundByTheHostsNamesInAnyCaseOfTheExtension) {
#if defined(_WIN32)
    // Under Wine the ANSI enumeration does not yet give "Möbel.qmt" in the
    // prefix's code page; open until the prefix's locale is pinned.
    GTEST_SKIP() << "template names in the ANSI code page under Wine";
#endif
    exporttest::ExportRun run(namesDocument("names.json"));
    fs::copy(std::string(PELMORA_SOURCE_DIR) + "/tests/data/names/host/Pelmora", run.hostDir() + "Pelmora",
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    run.dialog().mode = 2;
    run.run();
    EXPECT_TRUE(run.messages().empty());
    const qmxread::QmxFile file = qmxread::readQmxFile(run.outputPath());
    std::vector<std::string> names;
    const qmxread::Node* furniture = nullptr;
    const qmxread::Node* roof = nullptr;
    const qmxread::Node* kitchen = nullptr;
    for (const auto& child : file.roots.at(0).children) {
        names.push_back(child.name);
        if (child.name ==
            "M\xF6"
            "bel")
            furniture = &child;
        if (child.name == "Dach") roof = &child;
        if (child.name ==
            "K\xFC"
            "che")
            kitchen = &child;
    }
    ASSERT_TRUE(furniture && roof && kitchen) << ::testing::PrintToString(names);
    EXPECT_EQ(furniture->id, 6001u);
    EXPECT_EQ(roof->id, 6002u);
    EXPECT_FALSE(furniture->motions.empty());  // the template's material
    EXPECT_FALSE(roof->motions.empty());
    EXPECT_TRUE(kitchen->motions.empty());
    EXPECT_NE(std::find(names.begin(), names.end(),
                        "K\xFC"
                        "chenlampe"),
              names.end());
}

}  // namespace
}  // namespace pelmora
