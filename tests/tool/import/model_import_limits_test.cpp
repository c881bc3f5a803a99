// The model import bounded in time and memory: every hostile model file ends
// in a clear refusal (or a correct drawing) through `pelmora import` and
// `pelmora export`, names always arrive as valid UTF-8 of at most 255 bytes,
// and a drawing the host would hand over with a short light record is refused
// with its JSON path.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "hostsim/document/drawing.h"
#include "platform/code_page.h"
#include "tests/support/export_run_fixture.h"
#include "tests/support/temp_folder.h"
#include "tests/tool/common/tool_runner.h"
#include "tool/import/model_import.h"

namespace pelmora {
namespace {

namespace fs = std::filesystem;
using exporttest::listFolder;
using exporttest::runTool;
using exporttest::TempFolder;
using exporttest::writeFile;

const fs::path kHostile = fs::path(PELMORA_SOURCE_DIR) / "tests/data/hostile-models";

using namespace exporttest::outcome;

bool validUtf8(const std::string& text) {
    return tool::documentName(text) == text;  // valid text of at most 255 bytes comes back unchanged
}

// A loaded drawing holds its names in its code page: each must decode into
// valid UTF-8 of at most 255 bytes.
void expectDocumentNames(const hostsim::Drawing& drawing) {
    auto expectName = [&drawing](const std::string& name) {
        const auto text = base::toUtf8(name, drawing.codePage);
        ASSERT_TRUE(text.has_value()) << name;
        EXPECT_TRUE(validUtf8(*text)) << *text;
        EXPECT_LE(text->size(), 255u);
    };
    for (const std::string& c : drawing.classes) expectName(c);
    for (const auto& layer : drawing.layers)
        for (const auto& object : layer.objects) expectName(object.name);
}

TEST(ModelImportLimits, EveryHostileModelEndsInARefusalOrADrawingWithinTheLimits) {
    TempFolder folder;
    int refused = 0, imported = 0;
    for (const auto& entry : fs::directory_iterator(kHostile)) {
        if (entry.path().extension() == ".md") continue;
        const std::string name = entry.path().filename().string();
        const std::string out = folder / (name + ".json");
        const auto result =
            runTool({"import", entry.path().string(), "-o", out, "--import-time", "2", "--import-memory", "512"});
        if (name.starts_with("name-")) {
            ++imported;
            ASSERT_EQ(result.status, 0) << name << ": " << result.err;
            expectDocumentNames(hostsim::loadDrawing(out));
        } else {
            ++refused;
            EXPECT_EQ(result.status, 2) << name << ": " << result.err;
            EXPECT_TRUE(contains(result.err, "cannot import")) << name << ": " << result.err;
            EXPECT_FALSE(fs::exists(out)) << name;
            if (name.starts_with("hang-")) {
                EXPECT_TRUE(contains(result.err, "did not finish within 2 s")) << result.err;
            } else {
                EXPECT_TRUE(contains(result.err, "memory")) << name << ": " << result.err;
            }
        }
    }
    EXPECT_EQ(refused, 7);
    EXPECT_EQ(imported, 2);
    // Nothing but the two drawings written.
    EXPECT_EQ(listFolder(folder.path().string()),
              (std::vector<std::string>{"name-bytes.obj.json", "name-not-utf8.obj.json"}));
}

TEST(ModelImportLimits, ExportOfAModelThatNeverEndsIsRefusedAndWritesNothing) {
    TempFolder folder;
    const auto result = runTool({"export", (kHostile / "hang-1.ply").string(), "-o", folder / "out.qmx", "--host-dir",
                                 folder.path().string(), "--import-time", "1"});
    EXPECT_EQ(result.status, 2) << result.err;
    EXPECT_TRUE(contains(result.err, "--import-time")) << result.err;
    EXPECT_FALSE(fs::exists(folder / "out.qmx"));
}

TEST(ModelImportLimits, ImportWritesADrawingTheExportRuns) {
    TempFolder folder;
    writeFile(folder / "tri.obj", "o Tri\nusemtl Red\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    const auto imported = runTool({"import", folder / "tri.obj", "-o", folder / "tri.json"});
    ASSERT_EQ(imported.status, 0) << imported.err;
    const hostsim::Drawing drawing = hostsim::loadDrawing(folder / "tri.json");
    ASSERT_EQ(drawing.layers.size(), 1u);
    EXPECT_EQ(drawing.layers[0].objects.size(), 1u);
    EXPECT_EQ(runTool({"import", folder / "tri.obj", "-o", folder / "tri.json"}).status, 2) << "exists without --force";
    const auto exported = runTool(
        {"export", folder / "tri.json", "-o", folder / "tri.qmx", "--host-dir", folder.path().string(), "--mode", "2"});
    EXPECT_EQ(exported.status, 0) << exported.err;

    // The importer's own refusal comes back from the child word for word.
    writeFile(folder / "points.obj", "v 0 0 0\nv 1 0 0\np 1 2\n");
    const auto refused = runTool({"import", folder / "points.obj", "-o", folder / "points.json"});
    EXPECT_EQ(refused.status, 2) << refused.err;
    EXPECT_TRUE(contains(refused.err, "points.obj")) << refused.err;
    EXPECT_FALSE(fs::exists(folder / "points.json"));
}

TEST(ModelImportLimits, NamesAreCutAndConvertedToValidUtf8) {
    EXPECT_EQ(tool::documentName("Wall"), "Wall");
    EXPECT_EQ(tool::documentName("caf\xe9"), "caf\xc3\xa9");                    // Latin-1 byte read as such
    EXPECT_EQ(tool::documentName("\xc3\xa9t\xc3\xa9"), "\xc3\xa9t\xc3\xa9");    // valid UTF-8 kept
    EXPECT_EQ(tool::documentName("\xed\xa0\x80"), "\xc3\xad\xc2\xa0\xc2\x80");  // a surrogate is not UTF-8
    // 254 ASCII bytes and a two-byte character: cut before it, never inside.
    const std::string cut = tool::documentName(std::string(254, 'a') + "\xc3\xa9");
    EXPECT_EQ(cut, std::string(254, 'a'));
    EXPECT_EQ(tool::documentName(std::string(300, 'b')).size(), 255u);
}

TEST(ModelImportLimits, ADrawingWithAShortLightRecordIsRefusedWithItsPath) {
    TempFolder folder;
    writeFile(folder / "short.json", R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [
        {"type": "polygon", "points": [[0,0,0],[1,0,0],[1,1,0]]},
        {"type": "light", "records": [{"tag": "rDgN", "hex": "0102"}]}]}]})");
    const auto result = runTool({"export", folder / "short.json", "-o", folder / "out.qmx", "--host-dir",
                                 folder.path().string(), "--mode", "2"});
    EXPECT_EQ(result.status, 2) << result.err;
    EXPECT_TRUE(contains(result.err, "layers[0].objects[1].records[0]")) << result.err;
    EXPECT_FALSE(fs::exists(folder / "out.qmx"));
}

}  // namespace
}  // namespace pelmora
