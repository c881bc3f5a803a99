// Command and environment services of the emulated host: units, version,
// folders, messages and the texts of its string lists, command state.
#include <gtest/gtest.h>

#include <cstring>

#include "plugin/host/services.h"
#include "tests/hostsim/host/host_fixture.h"

namespace pelmora::hostsim {
namespace {

using testing::HostRun;

TEST(HostUnits, UnitRecordHoldsUnitsPerInchAtByte10) {
    HostRun run(R"({"pelmoraDrawing": 1, "unitsPerInch": 2.54})");
    std::uint8_t record[32];
    std::memset(record, 0xAA, sizeof record);
    host::getUnitRecord(record);
    double u = 0;
    std::memcpy(&u, record + 10, sizeof u);
    EXPECT_EQ(u, 2.54);
    for (int i = 0; i < 32; ++i) {
        if (i < 10 || i >= 18) { EXPECT_EQ(record[i], 0) << i; }
    }
}

TEST(HostUnits, LengthsGoFromMillimetresToDocumentUnits) {
    {
        HostRun inches(R"({"pelmoraDrawing": 1, "unitsPerInch": 1})");
        EXPECT_DOUBLE_EQ(host::toDocumentLength(25.4), 1.0);
        EXPECT_DOUBLE_EQ(host::toDocumentLength(-50.8), -2.0);
    }
    {
        HostRun centimetres(R"({"pelmoraDrawing": 1, "unitsPerInch": 2.54})");
        EXPECT_DOUBLE_EQ(host::toDocumentLength(100), 10.0);
    }
    {
        HostRun millimetres(R"({"pelmoraDrawing": 1})");
        EXPECT_DOUBLE_EQ(host::toDocumentLength(1234.5), 1234.5);
    }
    {
        HostRun metres(R"({"pelmoraDrawing": 1, "unitsPerInch": 0.0254})");
        EXPECT_DOUBLE_EQ(host::toDocumentLength(2500), 2.5);
    }
}

TEST(HostVersion, SecondFieldIsTheVersionByte) {
    HostRun run(R"({"pelmoraDrawing": 1, "hostVersion": 200})");
    std::uint8_t fields[6] = {9, 9, 9, 9, 9, 9};
    auto fn = reinterpret_cast<host::sig::GetHostVersion>(run.host.callback()(host::kGetHostVersion));
    fn(&fields[0], &fields[1], &fields[2], &fields[3], &fields[4], &fields[5]);
    EXPECT_EQ(fields[1], 200);
    EXPECT_EQ(host::hostVersion(0), 200);
}

TEST(HostFolders, GivenFoldersEndWithTheSeparator) {
    HostRun run(R"({"pelmoraDrawing": 1})");
    char path[host::kHostPathLimit];
    EXPECT_EQ(host::getFolderPath(1, path, 0), host::kFolderPathMissing);
    run.host.setFolder(1, "/opt/cad/");
    run.host.setFolder(2, "/home/user/cad/");
    ASSERT_EQ(host::getFolderPath(1, path, 0), 0);
    EXPECT_STREQ(path, "/opt/cad/");
    ASSERT_EQ(host::getFolderPath(2, path, 1), 0);
    EXPECT_STREQ(path, "/home/user/cad/");
    EXPECT_EQ(host::getFolderPath(3, path, 0), host::kFolderPathMissing);
}

TEST(HostFolders, APathThatDoesNotFitIsNotGiven) {
    HostRun run(R"({"pelmoraDrawing": 1})");
    char path[host::kHostPathLimit];
    std::memset(path, 'q', sizeof path);
    run.host.setFolder(1, "/" + std::string(258, 'a') + "/");  // 260 characters and the NUL
    EXPECT_EQ(host::getFolderPath(1, path, 0), host::kFolderPathMissing);
    EXPECT_EQ(path[0], 'q');
    run.host.setFolder(1, "/" + std::string(257, 'a') + "/");  // 259 and the NUL: just fits
    EXPECT_EQ(host::getFolderPath(1, path, 0), 0);
    EXPECT_EQ(std::strlen(path), 259u);
}

TEST(HostCommand, CanRunFollowsTheDocument) {
    {
        HostRun yes(R"({"pelmoraDrawing": 1})");
        EXPECT_TRUE(host::canRunCommand());
    }
    HostRun no(R"({"pelmoraDrawing": 1, "canRun": false})");
    EXPECT_FALSE(host::canRunCommand());
}

TEST(HostCommand, CommandStateCallsAreRecorded) {
    HostRun run(R"({"pelmoraDrawing": 1})");
    host::commandPrologue();
    host::resetCommandState();
    ASSERT_EQ(run.host.commandLog().size(), 2u);
    EXPECT_EQ(run.host.commandLog()[0].service, host::kCommandPrologue);
    EXPECT_EQ(run.host.commandLog()[1].service, host::kResetCommandState);
    EXPECT_EQ(run.host.commandLog()[1].argument, 0);
}

TEST(HostMessages, ShownMessagesAreRecordedAndObserved) {
    HostRun run(R"({"pelmoraDrawing": 1})");
    std::vector<std::string> seen;
    run.host.onMessage(
        [&](const ShownMessage& m) { seen.push_back(std::to_string(m.list) + "/" + std::to_string(m.index)); });
    host::showMessage(11011, 5);
    host::showMessage(11011, 99);
    ASSERT_EQ(run.host.messages().size(), 2u);
    EXPECT_EQ(run.host.messages()[0].list, 11011);
    EXPECT_EQ(run.host.messages()[0].index, 5);
    EXPECT_EQ(run.host.messages()[0].text, EmulatedHost::indexedString(11011, 5));
    EXPECT_FALSE(run.host.messages()[0].text.empty());
    EXPECT_TRUE(run.host.messages()[1].text.empty());
    EXPECT_EQ(seen, (std::vector<std::string>{"11011/5", "11011/99"}));
}

TEST(HostStrings, EveryTextTheCommandUsesExistsAndFitsItsBuffer) {
    HostRun run(R"({"pelmoraDrawing": 1})");
    for (int index : {2, 4, 5, 6, 7}) {
        std::string text = EmulatedHost::indexedString(11011, index);
        EXPECT_FALSE(text.empty()) << index;
        EXPECT_LT(text.size(), 64u) << index;
    }
    for (int index = 1; index <= 8; ++index) {
        std::string text = EmulatedHost::indexedString(12345, index);
        EXPECT_FALSE(text.empty()) << index;
        EXPECT_LT(text.size(), index == 2 || index == 3 ? 32u : 64u) << index;
        char buffer[64];
        std::memset(buffer, 'z', sizeof buffer);
        host::getIndexedString(12345, index, buffer);
        EXPECT_EQ(std::string(buffer), text);
    }
    EXPECT_NE(EmulatedHost::indexedString(11011, 6), EmulatedHost::indexedString(11011, 7));
    char unknown[8] = "zzzzzzz";
    host::getIndexedString(4, 4, unknown);
    EXPECT_EQ(unknown[0], '\0');
}

}  // namespace
}  // namespace pelmora::hostsim
