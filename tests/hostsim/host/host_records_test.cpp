// Auxiliary records of the emulated host: created, found by the plug-in's
// named-record search, locked, deleted, and written back into the drawing.
#include <gtest/gtest.h>

#include <cstring>

#include "hostsim/document/record_check.h"
#include "plugin/host/services.h"
#include "tests/hostsim/host/host_fixture.h"

namespace pelmora::hostsim {
namespace {

using testing::HostRun;

constexpr std::uint32_t kTagA = 0x4E674472;  // bytes "rDgN"
constexpr std::uint32_t kTagB = 1379157095;  // what the search asks for after the first record

std::uint8_t* bytesOf(HostHandle record) { return *static_cast<std::uint8_t**>(record); }

// The plug-in's search for a record by its name at bytes 64..127.
HostHandle findNamed(HostHandle object, const std::string& name) {
    HostHandle r = host::firstAuxRecord(object, kTagA);
    while (r != nullptr) {
        HostHandle n = host::nextObject(r);
        host::lockRecord(r);
        bool equal = std::strncmp(reinterpret_cast<const char*>(bytesOf(r) + 64), name.c_str(), 64) == 0;
        host::unlockRecord(r);
        if (equal) return r;
        if (n == nullptr) return nullptr;
        r = host::findAuxRecordFrom(n, kTagB);
    }
    return nullptr;
}

HostHandle createNamed(HostHandle object, const std::string& name, std::int32_t size) {
    HostHandle r = host::newAuxRecord(object, kTagA, size);
    if (r == nullptr) return nullptr;
    host::lockRecord(r);
    std::strncpy(reinterpret_cast<char*>(bytesOf(r) + 64), name.c_str(), 64);
    host::unlockRecord(r);
    return r;
}

std::string lightRecordHex(std::int32_t id) {
    std::vector<std::uint8_t> bytes(132, 0);
    std::memcpy(bytes.data() + 64, "Pelmora-Light", 13);
    std::memcpy(bytes.data() + 128, &id, 4);
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (std::uint8_t b : bytes) hex += {kDigits[b >> 4], kDigits[b & 15]};
    return hex;
}

std::string drawingWithLight(const std::string& records) {
    return R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [{"type": "light", "records": [)" + records +
           R"(]}, {"type": "light"}]}]})";
}

TEST(HostRecords, LoadedRecordsAreFoundWithTheirBytes) {
    HostRun run(
        drawingWithLight(R"({"tag": "abcd", "hex": "01"}, {"tag": "rDgN", "hex": ")" + lightRecordHex(1998) + R"("})"));
    HostHandle light = run.host.objectHandle("A", {0});
    HostHandle r = host::firstAuxRecord(light, kTagA);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r, run.host.recordHandles(light).at(1));  // the record of tag A, not the first one
    host::lockRecord(r);
    std::int32_t id = 0;
    std::memcpy(&id, bytesOf(r) + 128, 4);
    host::unlockRecord(r);
    EXPECT_EQ(id, 1998);
    EXPECT_EQ(findNamed(light, "Pelmora-Light"), r);
    EXPECT_FALSE(run.host.recordsChanged());
    EXPECT_TRUE(run.host.faults().empty());
}

TEST(HostRecords, NewRecordsAreZeroedAndWrittenBack) {
    HostRun run(drawingWithLight(""));
    HostHandle light = run.host.objectHandle("A", {1});
    EXPECT_EQ(host::firstAuxRecord(light, kTagA), nullptr);
    HostHandle r = host::newAuxRecord(light, kTagA, 132);
    ASSERT_NE(r, nullptr);
    for (int i = 0; i < 132; ++i) ASSERT_EQ(bytesOf(r)[i], 0) << i;
    host::lockRecord(r);
    std::memcpy(bytesOf(r) + 64, "Pelmora-Light", 13);
    const std::int32_t id = 1996;
    std::memcpy(bytesOf(r) + 128, &id, 4);
    host::unlockRecord(r);
    EXPECT_TRUE(run.host.recordsChanged());

    Drawing after = run.host.drawing();
    ASSERT_EQ(after.layers[0].objects[1].records.size(), 1u);
    const AuxRecord& written = after.layers[0].objects[1].records[0];
    EXPECT_EQ(charsFromTag(written.tag), "rDgN");
    ASSERT_EQ(written.bytes.size(), 132u);
    EXPECT_EQ(written.bytes[64], 'P');
    EXPECT_EQ(written.bytes[128], 0xCC);  // 1996 = 0x07CC, little-endian
    EXPECT_EQ(written.bytes[129], 0x07);
    EXPECT_TRUE(after.layers[0].objects[0].records.empty());

    // Written back to a document and loaded again, the next run finds it.
    HostRun next(serializeDrawing(after));
    HostHandle found = findNamed(next.host.objectHandle("A", {1}), "Pelmora-Light");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(std::memcmp(bytesOf(found), written.bytes.data(), 132), 0);
    EXPECT_FALSE(next.host.recordsChanged());
}

TEST(HostRecords, TheNamedSearchFindsEveryRecordItCreated) {
    HostRun run(drawingWithLight(R"({"tag": "wxyz", "hex": "00"})"));
    HostHandle light = run.host.objectHandle("A", {0});
    std::vector<HostHandle> made;
    for (const char* name : {"first", "second", "third"}) made.push_back(createNamed(light, name, 132));
    EXPECT_EQ(findNamed(light, "first"), made[0]);
    EXPECT_EQ(findNamed(light, "second"), made[1]);
    EXPECT_EQ(findNamed(light, "third"), made[2]);
    EXPECT_EQ(findNamed(light, "fourth"), nullptr);
    EXPECT_EQ(host::nextObject(made[0]), made[1]);
    EXPECT_EQ(host::nextObject(made[2]), nullptr);
    EXPECT_EQ(host::findAuxRecordFrom(made[1], kTagB), made[1]);
    EXPECT_TRUE(run.host.faults().empty());
}

TEST(HostRecords, OnlyReadingChangesNothing) {
    HostRun run(drawingWithLight(R"({"tag": "rDgN", "hex": ")" + lightRecordHex(1004) + R"("})"));
    EXPECT_NE(findNamed(run.host.objectHandle("A", {0}), "Pelmora-Light"), nullptr);
    EXPECT_FALSE(run.host.recordsChanged());
}

TEST(HostRecords, RewritingTheSameIdIsNoChange) {
    HostRun run(drawingWithLight(R"({"tag": "rDgN", "hex": ")" + lightRecordHex(1004) + R"("})"));
    HostHandle r = findNamed(run.host.objectHandle("A", {0}), "Pelmora-Light");
    ASSERT_NE(r, nullptr);
    host::lockRecord(r);
    std::int32_t id = 1004;
    std::memcpy(bytesOf(r) + 128, &id, 4);
    host::unlockRecord(r);
    EXPECT_FALSE(run.host.recordsChanged());
    host::lockRecord(r);
    id = 1006;
    std::memcpy(bytesOf(r) + 128, &id, 4);
    host::unlockRecord(r);
    EXPECT_TRUE(run.host.recordsChanged());
}

TEST(HostRecords, DeletedRecordsLeaveTheDrawingAndTheirHandlesDie) {
    HostRun run(drawingWithLight(R"({"tag": "rDgN", "hex": ")" + lightRecordHex(1) + R"("}, {"tag": "rDgN", "hex": ")" +
                                 lightRecordHex(2) + R"("})"));
    HostHandle light = run.host.objectHandle("A", {0});
    std::vector<HostHandle> records = run.host.recordHandles(light);
    ASSERT_EQ(records.size(), 2u);
    host::deleteAuxRecord(records[0], light);
    EXPECT_TRUE(run.host.faults().empty());
    EXPECT_EQ(host::firstAuxRecord(light, kTagA), records[1]);
    EXPECT_TRUE(run.host.recordsChanged());
    Drawing after = run.host.drawing();
    ASSERT_EQ(after.layers[0].objects[0].records.size(), 1u);
    ASSERT_EQ(after.layers[0].objects[0].records[0].bytes.size(), 132u);
    EXPECT_EQ(after.layers[0].objects[0].records[0].bytes[128], 2);

    host::lockRecord(records[0]);
    EXPECT_EQ(run.host.faults().size(), 1u);
}

TEST(HostRecords, RecordOfAnotherObjectIsNotDeleted) {
    HostRun run(drawingWithLight(R"({"tag": "rDgN", "hex": ")" + lightRecordHex(1) + R"("})"));
    HostHandle record = run.host.recordHandles(run.host.objectHandle("A", {0})).at(0);
    host::deleteAuxRecord(record, run.host.objectHandle("A", {1}));
    EXPECT_EQ(run.host.faults().size(), 1u);
    EXPECT_FALSE(run.host.recordsChanged());
}

TEST(HostRecords, RecordsAreKeptOnDrawingObjectsOnly) {
    HostRun run(drawingWithLight(""));
    EXPECT_EQ(host::newAuxRecord(run.host.layerHandle("A"), kTagA, 132), nullptr);
    EXPECT_EQ(host::newAuxRecord(run.host.headerHandle(), kTagA, 132), nullptr);
    EXPECT_EQ(run.host.faults().size(), 2u);
}

TEST(HostRecords, UnlockWithoutLockIsAFault) {
    HostRun run(drawingWithLight(R"({"tag": "rDgN", "hex": ")" + lightRecordHex(1) + R"("})"));
    HostHandle record = run.host.recordHandles(run.host.objectHandle("A", {0})).at(0);
    host::lockRecord(record);
    host::unlockRecord(record);
    EXPECT_TRUE(run.host.faults().empty());
    host::unlockRecord(record);
    EXPECT_EQ(run.host.faults().size(), 1u);
}

TEST(HostRecords, ObjectServicesRefuseRecords) {
    HostRun run(drawingWithLight(R"({"tag": "rDgN", "hex": ")" + lightRecordHex(1) + R"("})"));
    HostHandle record = run.host.recordHandles(run.host.objectHandle("A", {0})).at(0);
    EXPECT_EQ(host::objectType(record), 0);
    EXPECT_EQ(run.host.faults().size(), 1u);
    host::lockRecord(run.host.objectHandle("A", {0}));
    EXPECT_EQ(run.host.faults().size(), 2u);
}

// The plug-in reads a light record at bytes 64 to 131 without knowing its
// size: the host refuses a drawing only where the plug-in's search for it
// (from the first rDgN record, every record up to the first named as the
// light record) would read past a record's end, naming the record's place.
TEST(HostRecords, ShortRecordsAreRefusedExactlyWhereTheLightSearchReads) {
    auto refusal = [](const std::string& records, const char* type = "light") -> std::string {
        std::string text = drawingWithLight(records);
        text.replace(text.find("light"), 5, type);
        try {
            HostRun run(text);
        } catch (const DocumentError& refused) { return refused.path(); }
        return "accepted";
    };
    auto rec = [](const char* tag, const std::string& hex) {
        return std::string(R"({"tag": ")") + tag + R"(", "hex": ")" + hex + R"("})";
    };
    const std::string light = lightRecordHex(1998);
    const std::string otherName = std::string(light).replace(128, 2, "41");  // "Aelmora-Light": not ours
    const std::string r0 = "layers[0].objects[0].records[0]", r1 = "layers[0].objects[0].records[1]";
    struct Case {
        std::string records;
        std::string expected;
    };
    const Case cases[] = {
        {rec("rDgN", "0102"), r0},                                    // the first one read, too short
        {rec("rDgN", light.substr(0, 2 * 130)), r0},                  // named ours, no room for the id
        {rec("rDgN", light.substr(0, 2 * 128)), r0},                  // the name read, then the id missed
        {rec("rDgN", otherName.substr(0, 2 * 128)), "accepted"},      // not ours: its id is never read
        {rec("abcd", "01") + ", " + rec("rDgN", light), "accepted"},  // before the search starts
        {rec("rDgN", light) + ", " + rec("wxyz", "00"), "accepted"},  // after the search stopped
        {rec("rDgN", otherName) + ", " + rec("wxyz", "00"), r1},      // visited: any tag
        {rec("rDgN", otherName) + ", " + rec("wxyz", light) + ", " + rec("abcd", "00"),
         "accepted"},  // found in a record of another tag
        // The name is compared only up to its first difference or its NUL.
        {rec("rDgN", std::string(2 * 64, '0') + "58"), "accepted"},  // "X": read at byte 64 only
        {rec("rDgN", light.substr(0, 2 * 68)), r0},                  // "Pelm" and no more
        {rec("rDgN", light.substr(0, 2 * 76)), r0},                  // "Pelmora-Ligh" and no more
        {rec("rDgN", light.substr(0, 2 * 77) + "58") + ", " + rec("wxyz", light), "accepted"},  // "...LightX"
        {rec("rDgN", light.substr(0, 2 * 78)), r0},  // named ours at 78 bytes
        {rec("rDgN", "00"), "accepted"},             // on a polygon nothing searches
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(refusal(cases[i].records, i + 1 == std::size(cases) ? "polygon" : "light"), cases[i].expected)
            << "case " << i;

    Drawing nested = parseDrawing(R"({"pelmoraDrawing": 1, "layers": [{"name": "A", "objects": [
        {"type": "group", "members": [{"type": "light"}, {"type": "light", "records": [{"tag": "rDgN", "hex": "00"}]}]}]}]})");
    try {
        checkRecordSizes(nested);
        ADD_FAILURE() << "a short light record inside a group was accepted";
    } catch (const DocumentError& refused) {
        EXPECT_EQ(refused.path(), "layers[0].objects[0].members[1].records[0]");
        EXPECT_NE(std::string(refused.what()).find("it needs 65"), std::string::npos) << refused.what();
    }
}

}  // namespace
}  // namespace pelmora::hostsim
