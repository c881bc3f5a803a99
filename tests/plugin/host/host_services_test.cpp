// The numbered service wrappers: the fixed value each gives when the host
// lacks its service, and the fixed arguments each hands to the host.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "plugin/host/current_callback.h"
#include "plugin/host/services.h"
#include "tests/support/fake_lookup.h"

namespace pelmora {
namespace {

TEST(HostServices, AHostWithoutTheServicesGivesEveryFallback) {
    testing::FakeLookup host;  // answers no service at all
    host::CallbackScope scope(host.callback());
    int object = 0;
    HostHandle h = &object;

    EXPECT_EQ(host::polyVertexData(h), 0);
    EXPECT_FALSE(host::isSelected(h));
    EXPECT_FALSE(host::isClosedPoly(h));
    EXPECT_EQ(host::objectType(h), 0);
    EXPECT_FALSE(host::isVisible(h));
    EXPECT_EQ(host::objectClass(h), 0);
    EXPECT_EQ(host::vertexCount(h), 0);
    EXPECT_EQ(host::nextObject(h), nullptr);
    EXPECT_EQ(host::firstMember(h), nullptr);
    EXPECT_EQ(host::definitionOf(h), nullptr);
    EXPECT_EQ(host::objectToken(h), 0);
    EXPECT_EQ(host::definitionKind(h), -1);
    EXPECT_EQ(host::makeTemporaryObject(5), nullptr);
    EXPECT_EQ(host::nextInChain(h), nullptr);
    EXPECT_EQ(host::currentItem(), nullptr);
    EXPECT_EQ(host::viewKind(h), -1);
    EXPECT_EQ(host::drawingRoot(), nullptr);
    EXPECT_EQ(host::chainStart(), nullptr);
    EXPECT_EQ(host::classIndexByName(reinterpret_cast<const std::uint8_t*>("\1A")), -1);
    EXPECT_EQ(host::newAuxRecord(h, 0x41424344u, 132), nullptr);
    EXPECT_EQ(host::firstAuxRecord(h, 0x41424344u), nullptr);
    EXPECT_EQ(host::findAuxRecordFrom(h, 0x41424344u), nullptr);
    EXPECT_EQ(host::toDocumentLength(-12.5), -12.5);
    EXPECT_EQ(host::hostVersion(13), 13);
    EXPECT_FALSE(host::canRunCommand());
    EXPECT_EQ(host::createDialog("t", "a", "b"), 0);
    EXPECT_FALSE(host::dialogReady(1));
    EXPECT_FALSE(host::placeFirstItem(1, 3));
    EXPECT_FALSE(host::placeInside(1, 3, 4));
    EXPECT_FALSE(host::placeBelow(1, 4, 5));
    EXPECT_EQ(host::runDialog(1, nullptr, nullptr), 0);

    // Outputs stay as they were.
    char folder[host::kHostPathLimit] = "unchanged";
    EXPECT_EQ(host::getFolderPath(2, folder, 1), 0x3000003);
    EXPECT_STREQ(folder, "unchanged");
    HostPoint point{1.0, 2.0, 3.0};
    host::getVertex(h, 1, &point);
    EXPECT_EQ(point.x, 1.0);
    EXPECT_EQ(point.z, 3.0);
    HostPropertyValue value{};
    value.tag = 77;
    EXPECT_FALSE(host::getObjectProperty(h, 51, &value));
    EXPECT_EQ(value.tag, 77);
    double twelve[12] = {};
    twelve[11] = 9.0;
    host::getObjectPlacement(h, twelve);
    EXPECT_EQ(twelve[11], 9.0);
    std::uint8_t name[256] = {3, 'a', 'b', 'c'};
    host::getObjectName(h, name);
    host::className(1, name);
    EXPECT_EQ(std::memcmp(name, "\3abc", 4), 0);
    std::uint8_t record[32];
    std::memset(record, 0x5A, sizeof record);
    host::getUnitRecord(record);
    EXPECT_EQ(record[10], 0x5A);
    char text[64] = "kept";
    host::getIndexedString(12345, 1, text);
    EXPECT_STREQ(text, "kept");
    // The services without a result do nothing and do not fault.
    host::deleteObject(h);
    host::showMessage(11011, 2);
    host::resetCommandState();
    host::commandPrologue();
    host::lockRecord(h);
    host::unlockRecord(h);
    host::deleteAuxRecord(h, h);
    host::addGroup(1, 3, "g");
    host::addRadioButton(1, 4, "r");
    host::setItemState(1, 4, true);
}

// What the host received, service by service.
std::vector<std::int32_t> g_args;

void deleteObject(HostHandle, std::int32_t flag) { g_args.push_back(flag); }
HostHandle makeTemporary(std::int32_t token, std::int32_t flag) {
    g_args.push_back(token);
    g_args.push_back(flag);
    return nullptr;
}
void lockRecord(HostHandle, std::int32_t lock) { g_args.push_back(lock); }
void resetState(std::int32_t arg) { g_args.push_back(arg); }
void indexedString(std::int32_t list, std::int32_t index, char* out, std::int32_t a, std::int32_t b) {
    g_args.insert(g_args.end(), {list, index, a, b});
    out[0] = '\0';
}
std::int32_t folderPath(std::int32_t kind, char* out, std::int32_t flag) {
    g_args.insert(g_args.end(), {kind, flag});
    out[0] = '\0';
    return 0;
}
std::int32_t createDialog(const char* title, std::int32_t second, const char* confirm, const char* cancel) {
    EXPECT_STREQ(title, "t");
    EXPECT_STREQ(confirm, "ok");
    EXPECT_STREQ(cancel, "no");
    g_args.push_back(second);
    return 9;
}
void addGroup(std::int32_t dialog, std::int32_t item, const char*, std::int32_t last) {
    g_args.insert(g_args.end(), {dialog, item, last});
}
HostBool placeBelow(std::int32_t dialog, std::int32_t above, std::int32_t item, std::int32_t a, std::int32_t b) {
    g_args.insert(g_args.end(), {dialog, above, item, a, b});
    return 1;
}
void setItemState(std::int32_t dialog, std::int32_t item, HostBool on) {
    g_args.insert(g_args.end(), {dialog, item, on});
}

TEST(HostServices, TheFixedArgumentsReachTheHost) {
    testing::FakeLookup host;
    host.set(host::kDeleteObject, &deleteObject);
    host.set(host::kMakeTemporaryObject, &makeTemporary);
    host.set(host::kLockRecord, &lockRecord);
    host.set(host::kResetCommandState, &resetState);
    host.set(host::kGetIndexedString, &indexedString);
    host.set(host::kGetFolderPath, &folderPath);
    host.set(host::kCreateDialog, &createDialog);
    host.set(host::kAddGroup, &addGroup);
    host.set(host::kPlaceBelow, &placeBelow);
    host.set(host::kSetItemState, &setItemState);
    host::CallbackScope scope(host.callback());
    int object = 0;
    char text[64];
    char folder[host::kHostPathLimit];

    g_args.clear();
    host::deleteObject(&object);
    EXPECT_EQ(g_args, (std::vector<std::int32_t>{0}));
    g_args.clear();
    host::makeTemporaryObject(42);
    EXPECT_EQ(g_args, (std::vector<std::int32_t>{42, 0}));
    g_args.clear();
    host::lockRecord(&object);
    host::unlockRecord(&object);
    EXPECT_EQ(g_args, (std::vector<std::int32_t>{1, 0}));
    g_args.clear();
    host::resetCommandState();
    EXPECT_EQ(g_args, (std::vector<std::int32_t>{0}));
    g_args.clear();
    host::getIndexedString(12345, 6, text);
    EXPECT_EQ(g_args, (std::vector<std::int32_t>{12345, 6, 1, 2}));
    g_args.clear();
    EXPECT_EQ(host::getFolderPath(2, folder, 1), 0);
    EXPECT_EQ(g_args, (std::vector<std::int32_t>{2, 1}));
    g_args.clear();
    EXPECT_EQ(host::createDialog("t", "ok", "no"), 9);
    EXPECT_EQ(g_args, (std::vector<std::int32_t>{0}));
    g_args.clear();
    host::addGroup(9, 3, "g");
    EXPECT_EQ(g_args, (std::vector<std::int32_t>{9, 3, 1}));
    g_args.clear();
    EXPECT_TRUE(host::placeBelow(9, 4, 5));
    EXPECT_EQ(g_args, (std::vector<std::int32_t>{9, 4, 5, 0, 0}));
    g_args.clear();
    host::setItemState(9, 6, true);
    host::setItemState(9, 7, false);
    EXPECT_EQ(g_args, (std::vector<std::int32_t>{9, 6, 1, 9, 7, 0}));
}

// A host that writes each of GetHostVersion's six fields as a 64-bit integer:
// every field has a slot of its own, so nothing beyond the slot is touched
// (the sanitizers see any byte written past the plug-in's slots) and the
// version is the low byte of the second field.
std::vector<std::uintptr_t> g_versionFields;
void PELMORA_HOST_CALL wideHostVersion(std::uint8_t* a, std::uint8_t* b, std::uint8_t* c, std::uint8_t* d,
                                       std::uint8_t* e, std::uint8_t* f) {
    g_versionFields.clear();
    std::uint64_t value = 0x1111111111111100u;
    for (std::uint8_t* field : {a, b, c, d, e, f}) {
        g_versionFields.push_back(reinterpret_cast<std::uintptr_t>(field));
        const std::uint64_t written = field == b ? 0xA5A5A5A5A5A5A516u : value++;
        std::memcpy(field, &written, sizeof written);
    }
}
void PELMORA_HOST_CALL narrowHostVersion(std::uint8_t* a, std::uint8_t* b, std::uint8_t* c, std::uint8_t* d,
                                         std::uint8_t* e, std::uint8_t* f) {
    for (std::uint8_t* field : {a, c, d, e, f}) *field = 0xFF;
    *b = 14;
}

TEST(HostServices, EveryHostVersionFieldHasAnAlignedEightByteSlot) {
    testing::FakeLookup host;
    host::CallbackScope scope(host.callback());
    host.set(host::kGetHostVersion, &wideHostVersion);
    EXPECT_EQ(host::hostVersion(13), 0x16);
    ASSERT_EQ(g_versionFields.size(), 6u);
    for (std::size_t i = 0; i < g_versionFields.size(); ++i) {
        EXPECT_EQ(g_versionFields[i] % 8, 0u) << "field " << i;
        if (i > 0) { EXPECT_GE(g_versionFields[i] - g_versionFields[i - 1], 8u) << "field " << i; }
    }
    // A host writing single bytes, the other fields with all bits set: only the second byte counts.
    host.set(host::kGetHostVersion, &narrowHostVersion);
    EXPECT_EQ(host::hostVersion(13), 14);
}

}  // namespace
}  // namespace pelmora
