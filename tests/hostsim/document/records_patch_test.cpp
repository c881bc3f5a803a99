// The write-back as a patch: the records an export changed are spliced into
// the document's text and nothing else of it moves; a document edited since
// the export read it takes the changes only where its objects still match.
#include <gtest/gtest.h>

#include <string>

#include "hostsim/document/records_patch.h"

namespace pelmora::hostsim {
namespace {

// Unknown keys at every level, odd spacing, numbers as a person writes them.
const std::string kDocument = R"({ "author" : "me",
  "pelmoraDrawing":1, "unitsPerInch" : 25.40,
  "layers":[ {"name":"Ground", "colour": "green", "elevation": 1.50,
     "objects": [
        {"type":"light" , "name":"Sun", "properties": {"51": 1.50}, "note": [1, {"x": "]"}] },
        {"type": "light", "name": "Lamp", "records": [],   "z": 0},
        {"type": "light", "name": "Spot", "records": [
            {"tag": "abcd", "hex": "00", "why": "kept"},
            {"tag": "wxyz", "hex": "01"}  ] },
        {"type": "group", "members": [ {"type": "light", "name": "In\u0020group", "records": [{"tag": "abcd"}]} ]},
        {"type": "light", "name": "Odd", "records": [{"tag": "abcd", "hex": "02"}]}
     ] } ] }
)";

AuxRecord record(const char* tag, std::vector<std::uint8_t> bytes) { return {tagFromChars(tag), std::move(bytes)}; }

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(RecordsPatch, OnlyTheChangedRecordsChangeInTheText) {
    const Drawing read = parseDrawing(kDocument);
    Drawing changed = read;
    auto& objects = changed.layers[0].objects;
    objects[0].records.push_back(record("rDgN", {0xAB, 0x01}));                    // no records key yet
    objects[1].records.push_back(record("rDgN", {0x02}));                          // an empty list
    objects[2].records[1].bytes = {0xFF};                                          // bytes rewritten
    objects[2].records.push_back(record("rDgN", {0x03}));                          // appended, spaced as the list
    objects[3].members[0].records[0].bytes = {0x04};                               // a record without bytes given
    objects[4].records[0] = record(std::string("\x01\0\0\0", 4).c_str(), {0x05});  // another tag

    const RecordsPatch patch = patchRecords(kDocument, read, changed);
    ASSERT_TRUE(patch.text) << patch.why;
    EXPECT_EQ(patch.changedObjects, 5);
    std::string expected = kDocument;
    expected = replaced(expected, R"("note": [1, {"x": "]"}])",
                        R"("note": [1, {"x": "]"}], "records": [{"tag": "rDgN", "hex": "ab01"}])");
    expected = replaced(expected, R"("records": [],)", R"("records": [{"tag": "rDgN", "hex": "02"}],)");
    expected = replaced(expected, R"({"tag": "wxyz", "hex": "01"})",
                        "{\"tag\": \"wxyz\", \"hex\": \"ff\"},\n            {\"tag\": \"rDgN\", \"hex\": \"03\"}");
    expected = replaced(expected, R"([{"tag": "abcd"}])", R"([{"tag": "abcd", "hex": "04"}])");
    expected = replaced(expected, R"([{"tag": "abcd", "hex": "02"}])", R"([{"tag": 1, "hex": "05"}])");
    EXPECT_EQ(*patch.text, expected);
    EXPECT_EQ(parseDrawing(*patch.text), changed);

    // Nothing changed: the text comes back byte for byte.
    const RecordsPatch none = patchRecords(kDocument, read, read);
    ASSERT_TRUE(none.text);
    EXPECT_EQ(*none.text, kDocument);
}

TEST(RecordsPatch, AnEditSinceTheReadIsKeptOrRefusesThePatch) {
    const Drawing read = parseDrawing(kDocument);
    Drawing changed = read;
    changed.layers[0].objects[2].records[0].bytes = {0x10};
    struct Case {
        std::string from, to;
        std::string refusal;  // empty: the patch applies and keeps the edit
    };
    const Case cases[] = {
        {R"("author" : "me")", R"("author" : "you", "more": [1,2])", ""},
        {R"("name": "Lamp")", R"("name": "Lamp 2")", ""},
        {R"({"type":"light" , "name":"Sun")", R"({"type":"light" , "name":"Moon")", ""},
        {R"("name": "Spot")", R"("name": "Spot light")", "layers[0].objects[2] is another object now"},
        {R"("hex": "00")", R"("hex": "0000")", "layers[0].objects[2]: its records were changed meanwhile"},
        {R"({"type": "light", "name": "Lamp", "records": [],   "z": 0},)", "",
         "layers[0].objects[2] is another object now"},
        {R"("name":"Ground")", R"("name":"Floor")", "layers[0].objects[2] is no longer in the drawing"},
    };
    for (const Case& c : cases) {
        const std::string edited = replaced(kDocument, c.from, c.to);
        const RecordsPatch patch = patchRecords(edited, read, changed);
        if (!c.refusal.empty()) {
            EXPECT_FALSE(patch.text) << c.to;
            EXPECT_EQ(patch.why, c.refusal);
            continue;
        }
        ASSERT_TRUE(patch.text) << c.to << ": " << patch.why;
        EXPECT_EQ(*patch.text, replaced(edited, R"("hex": "00")", R"("hex": "10")"));
    }
    EXPECT_THROW(patchRecords("{\"pelmoraDrawing\": 1, \"layers\": [", read, changed), DocumentError);
}

// A key given twice counts as its last occurrence; an earlier one of another
// shape (more or fewer entries, other kinds of objects, values under keys the
// object's type does not read) is kept as written and takes no part.
TEST(RecordsPatch, EarlierOccurrencesOfAKeyOfAnotherShapeAreLeftAsTheyAre) {
    const std::string document = R"({"pelmoraDrawing": 1, @TOP"layers": [{"name": "A", @LAYER"objects": [
        {"type": "group", @GROUP"members": [{"type": "light", "name": "In", @LIGHT"records": [{"tag": "rDgN", "hex": "00"}]}]}
        ]}]})";
    const std::pair<const char*, std::string> shapes[] = {
        {"@TOP", R"("layers": [{"name": "A"}, {"name": "B", "objects": [{"type": "light", "records": []}]}], )"},
        {"@TOP", R"("layers": [{"name": "A", "objects": [{"type": "polygon", "members": 5}, {"type": "light"}]}], )"},
        {"@LAYER", R"("objects": [{"type": "light"}, {"type": "group", "members": [{"type": "light"}]}], )"},
        {"@GROUP", R"("members": [{"type": "group", "members": [{"type": "end"}]}, {"type": "light"}], )"},
        {"@GROUP", R"("members": [], )"},
        {"@LIGHT", R"("records": [{"tag": "rDgN", "hex": "01"}, {"tag": "wxyz"}], )"},
    };
    const char* const places[] = {"@TOP", "@LAYER", "@GROUP", "@LIGHT"};
    for (const auto& [place, earlier] : shapes) {
        std::string text = document;
        for (const char* at : places) text = replaced(text, at, at == std::string(place) ? earlier : "");
        const Drawing read = parseDrawing(text);
        Drawing changed = read;
        changed.layers.at(0).objects.at(0).members.at(0).records.at(0).bytes = {0x10};
        const RecordsPatch patch = patchRecords(text, read, changed);
        ASSERT_TRUE(patch.text) << earlier << ": " << patch.why;
        EXPECT_EQ(*patch.text, replaced(text, R"("hex": "00")", R"("hex": "10")")) << earlier;
        EXPECT_EQ(patch.changedObjects, 1) << earlier;
    }
}

}  // namespace
}  // namespace pelmora::hostsim
