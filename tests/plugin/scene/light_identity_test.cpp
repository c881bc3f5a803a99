// Light ids kept in records on the light objects: assignment, duplicates,
// stability over repeated exports and the record search itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "hostsim/document/drawing.h"
#include "plugin/payloads/light_identity.h"
#include "plugin/payloads/light_source.h"
#include "tests/plugin/scene/scene_run.h"

namespace pelmora::scene_test {
namespace {

constexpr const char* kFlat = R"({"perspective": false})";

std::string lightWithRecords(const std::vector<std::pair<std::string, std::string>>& records,
                             const std::string& name = "") {
    std::string json = R"({"type": "light", "name": ")" + name + R"(", "records": [)";
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (i > 0) json += ", ";
        json += R"({"tag": ")" + records[i].first + R"(", "hex": ")" + records[i].second + R"("})";
    }
    return json + "]}";
}

std::string lightWithId(std::int32_t id) { return lightWithRecords({{"rDgN", lightRecordHex(id)}}); }

std::string lights(const std::vector<std::string>& objects) {
    std::string json = "[";
    for (std::size_t i = 0; i < objects.size(); ++i) json += (i ? ", " : "") + objects[i];
    return json + "]";
}

// The node ids of a written file's root children, in order.
std::vector<std::uint32_t> nodeIds(const qmxread::QmxFile& file) {
    std::vector<std::uint32_t> ids;
    for (const auto& node : file.roots.at(0).children) ids.push_back(node.id);
    return ids;
}

std::vector<std::int32_t> idsOf(SceneRun& run) {
    std::vector<std::int32_t> ids;
    for (const auto& light : run.scene().lights) ids.push_back(readLightId(light->object()));
    return ids;
}

void addAll(SceneRun& run) {
    const std::size_t n = run.host().drawing().layers.at(0).objects.size();
    for (std::size_t i = 0; i < n; ++i) run.addLight(static_cast<int>(i));
}

TEST(LightIdentity, NewLightsTakeTheHighestFreeIdsInListOrder) {
    const std::string folder = freshFolder("new_lights");
    SceneRun run(drawingJson(R"([{"type": "light"}, {"type": "light"}, {"type": "light"}])", kFlat));
    addAll(run);
    const qmxread::Node root = run.write(folder + "out.qmx").roots.at(0);
    ASSERT_EQ(root.children.size(), 6u);
    const std::uint32_t expected[6] = {1998, 1999, 1996, 1997, 1994, 1995};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(root.children[i].id, expected[i]) << i;
    EXPECT_EQ(idsOf(run), (std::vector<std::int32_t>{1998, 1996, 1994}));
}

TEST(LightIdentity, OfTwoLightsSharingAnIdTheEarlierGetsANewOne) {
    SceneRun run(drawingJson(lights({lightWithId(1998), lightWithId(1998)}), kFlat));
    addAll(run);
    assignLightIds(run.scene().lights);
    EXPECT_EQ(idsOf(run), (std::vector<std::int32_t>{1996, 1998}));
}

TEST(LightIdentity, AHeldIdIsKeptAndANewLightTakesTheHighestFree) {
    SceneRun run(drawingJson(lights({lightWithId(1996), R"({"type": "light"})"}), kFlat));
    addAll(run);
    assignLightIds(run.scene().lights);
    EXPECT_EQ(idsOf(run), (std::vector<std::int32_t>{1996, 1998}));
}

TEST(LightIdentity, OddOrOutOfRangeIdsAreKeptUnlessALaterLightHoldsThem) {
    SceneRun run(drawingJson(
        lights({lightWithId(1001), lightWithId(5000), lightWithId(1997), lightWithId(1997), lightWithId(-4)}), kFlat));
    addAll(run);
    assignLightIds(run.scene().lights);
    EXPECT_EQ(idsOf(run), (std::vector<std::int32_t>{1001, 5000, 1998, 1997, 1996}));
}

TEST(LightIdentity, ANewIdSeesTheIdsGivenEarlierInThePass) {
    // Three lights sharing 1998: the first two are given new ids in turn.
    SceneRun run(drawingJson(lights({lightWithId(1998), lightWithId(1998), lightWithId(1998)}), kFlat));
    addAll(run);
    assignLightIds(run.scene().lights);
    EXPECT_EQ(idsOf(run), (std::vector<std::int32_t>{1996, 1994, 1998}));
}

TEST(LightIdentity, AnUnchangedDrawingKeepsItsIdsExportAfterExport) {
    const std::string folder = freshFolder("repeated");
    hostsim::Drawing saved;
    std::vector<std::uint32_t> firstIds;
    {
        SceneRun run(drawingJson(
            lights({lightWithId(1998), lightWithId(1998), R"({"type": "light"})", lightWithId(1500)}), kFlat));
        addAll(run);
        firstIds = nodeIds(run.write(folder + "first.qmx"));
        const hostsim::Drawing afterFirst = run.host().drawing();
        run.restart();
        addAll(run);
        EXPECT_EQ(nodeIds(run.write(folder + "second.qmx")), firstIds);
        EXPECT_EQ(run.host().drawing(), afterFirst);  // the second export changed no record
        saved = hostsim::parseDrawing(hostsim::serializeDrawing(run.host().drawing()));
    }
    EXPECT_EQ(firstIds, (std::vector<std::uint32_t>{1996, 1997, 1998, 1999, 1994, 1995, 1500, 1501}));
    // The drawing saved and opened again (another session of the host) gives the same ids.
    SceneRun reopened(std::move(saved));
    addAll(reopened);
    EXPECT_EQ(nodeIds(reopened.write(folder + "third.qmx")), firstIds);
}

TEST(LightIdentity, Beyond498LightsTheRestTakeFreeIdsFrom2000AndKeepThem) {
    const std::string folder = freshFolder("many_lights");
    std::vector<std::string> objects(500, R"({"type": "light"})");
    SceneRun run(drawingJson(lights(objects), kFlat));
    addAll(run);
    const qmxread::Node root = run.write(folder + "out.qmx").roots.at(0);
    ASSERT_EQ(root.children.size(), 1000u);
    std::set<std::uint32_t> given;
    for (int i = 0; i < 498; ++i) {
        EXPECT_EQ(root.children[2 * i].id, static_cast<std::uint32_t>(1998 - 2 * i));
        given.insert(root.children[2 * i].id);
    }
    EXPECT_EQ(given.size(), 498u);
    EXPECT_EQ(*given.begin(), 1004u);
    // No light id is free for the last two: their nodes take the lowest free
    // pairs above the light ids, and their records keep them (never 0).
    for (int i = 498; i < 500; ++i) {
        const std::uint32_t target = 2000 + 2 * static_cast<std::uint32_t>(i - 498);
        EXPECT_EQ(root.children[2 * i].id, target);
        EXPECT_EQ(root.children[2 * i + 1].id, target + 1);
        EXPECT_EQ(root.children[2 * i + 1].targetId1, static_cast<std::int32_t>(target));
    }
    const std::vector<std::int32_t> ids = idsOf(run);
    EXPECT_EQ(ids[498], 2000);
    EXPECT_EQ(ids[499], 2002);
    EXPECT_EQ(findFreeLightId(run.scene().lights), 0);
}

TEST(LightIdentity, AssigningReadsEachLightOnceAndSearchesOnlyToWrite) {
    std::vector<std::string> objects(60, R"({"type": "light"})");
    SceneRun run(drawingJson(lights(objects), kFlat));
    addAll(run);
    const int before = run.host().callCount(133);
    assignLightIds(run.scene().lights);
    // One search per light to read its id and one per light to store a new one.
    EXPECT_LE(run.host().callCount(133) - before, 120);
    const std::vector<std::int32_t> ids = idsOf(run);
    EXPECT_EQ(std::set<std::int32_t>(ids.begin(), ids.end()).size(), 60u);
    EXPECT_EQ(ids.back(), 1998 - 2 * 59);
}

TEST(LightIdentity, TheRecordIsFoundByItsNameAmongOtherRecords) {
    // A record of another tag ahead of the first one of tag A is never looked at.
    SceneRun run(drawingJson(lights({lightWithRecords({{"Xtra", lightRecordHex(1800)},
                                                       {"rDgN", lightRecordHex(1700, "Pelmora-Light2")},
                                                       {"rDgN", lightRecordHex(1600)}})}),
                             kFlat));
    HostHandle light = run.host().objectHandle("Ground", {0});
    EXPECT_EQ(readLightId(light), 1600);
    const std::vector<HostHandle> records = run.host().recordHandles(light);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(findNamedRecord(light, "Pelmora-Light"), records[2]);
    EXPECT_EQ(findNamedRecord(light, "Pelmora-Light2"), records[1]);
    EXPECT_EQ(findNamedRecord(light, "Nothing"), nullptr);

    ASSERT_TRUE(writeLightId(light, 1234));
    EXPECT_EQ(readLightId(light), 1234);
    EXPECT_EQ(run.host().recordHandles(light).size(), 3u);  // the existing record was reused
    const hostsim::AuxRecord stored = run.host().drawing().layers[0].objects[0].records[2];
    EXPECT_EQ(stored.bytes[128], 0xD2);  // 1234 little-endian
    EXPECT_EQ(stored.bytes[129], 0x04);
    EXPECT_EQ(stored.bytes[130], 0x00);
}

TEST(LightIdentity, ANewRecordHasTagANameAndId) {
    SceneRun run(drawingJson(R"([{"type": "light"}])", kFlat));
    HostHandle light = run.host().objectHandle("Ground", {0});
    EXPECT_EQ(readLightId(light), 0);
    ASSERT_TRUE(writeLightId(light, 1998));
    const std::vector<hostsim::AuxRecord> records = run.host().drawing().layers[0].objects[0].records;
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].tag, hostsim::tagFromChars("rDgN"));
    EXPECT_EQ(records[0].tag, recordTagA());
    ASSERT_EQ(records[0].bytes.size(), 132u);
    std::vector<std::uint8_t> name(64, 0);
    std::memcpy(name.data(), "Pelmora-Light", 13);
    EXPECT_TRUE(std::equal(name.begin(), name.end(), records[0].bytes.begin() + 64));
    EXPECT_EQ(records[0].bytes[128], 0xCE);  // 1998 = 0x07CE
    EXPECT_EQ(records[0].bytes[129], 0x07);
    EXPECT_EQ(records[0].bytes[131], 0x00);
}

TEST(LightIdentity, ARecordTooSmallForItsNameIsNotCreated) {
    SceneRun run(drawingJson(R"([{"type": "light"}])", kFlat));
    HostHandle light = run.host().objectHandle("Ground", {0});
    EXPECT_EQ(createNamedRecord(light, "Pelmora-Light", 100), nullptr);
    EXPECT_TRUE(run.host().recordHandles(light).empty());
    HostHandle made =
        createNamedRecord(light, "A name longer than sixty-four characters, which the record cuts short", 128);
    ASSERT_NE(made, nullptr);
    const hostsim::AuxRecord record = run.host().drawing().layers[0].objects[0].records.at(0);
    EXPECT_EQ(std::string(record.bytes.begin() + 64, record.bytes.begin() + 128),
              std::string("A name longer than sixty-four characters, which the record cuts short").substr(0, 64));
}

TEST(LightIdentity, ALightTheHostKeepsNoRecordForTakesAFreeIdInTheFileOnly) {
    const std::string folder = freshFolder("no_records");
    SceneRun run(drawingJson(R"([{"type": "light"}])", kFlat));
    run.host().disableService(128);
    run.addLight(0);
    EXPECT_FALSE(writeLightId(run.scene().lights[0]->object(), 1998));
    const qmxread::Node root = run.write(folder + "out.qmx").roots.at(0);
    ASSERT_EQ(root.children.size(), 2u);
    EXPECT_EQ(root.children[0].id, 2000u);
    EXPECT_EQ(root.children[1].id, 2001u);
    EXPECT_EQ(root.children[1].targetId1, 2000);
    EXPECT_FALSE(run.host().recordsChanged());
}

TEST(LightIdentity, AnIdAtTheTopOfTheRangeDoesNotOverflowTheLightNodeId) {
    const std::string folder = freshFolder("top_id");
    SceneRun run(drawingJson(lights({lightWithId(2147483647)}), kFlat));
    run.addLight(0);
    const qmxread::Node root = run.write(folder + "out.qmx").roots.at(0);
    ASSERT_EQ(root.children.size(), 2u);
    EXPECT_EQ(root.children[0].id, 2147483647u);
    EXPECT_EQ(root.children[1].id, 2147483648u);
}

}  // namespace
}  // namespace pelmora::scene_test
