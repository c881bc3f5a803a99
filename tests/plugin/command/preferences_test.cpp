// The preference file: what each content reads as, the exact bytes written,
// the Data folder made on demand, and a failed write leaving the old file.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "plugin/command/preferences.h"
#include "plugin/host/current_callback.h"
#include "plugin/host/host_abi.h"
#include "tests/support/fake_lookup.h"
#include "tests/support/temp_folder.h"

namespace pelmora {
namespace {

using exporttest::listFolder;
using exporttest::readFile;
using exporttest::TempFolder;
using exporttest::writeFile;

std::string g_userFolder;
std::int32_t g_kindAsked = 0;
std::int32_t g_flagAsked = 0;

std::int32_t getFolderPath(std::int32_t kind, char* out, std::int32_t flag) {
    g_kindAsked = kind;
    g_flagAsked = flag;
    if (g_userFolder.size() + 1 > static_cast<std::size_t>(host::kHostPathLimit)) return host::kFolderPathMissing;
    std::memcpy(out, g_userFolder.c_str(), g_userFolder.size() + 1);
    return 0;
}

class PreferencesTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_userFolder = folder_.withSeparator();
        host_.set(host::kGetFolderPath, &getFolderPath);
    }
    std::string prefPath() const { return folder_ / "Data/Pelmora.pref"; }
    std::int32_t load() {
        host::CallbackScope scope(host_.callback());
        return loadMode();
    }
    void store(std::int32_t mode) {
        host::CallbackScope scope(host_.callback());
        storeMode(mode);
    }
    std::int32_t loadFrom(const std::string& bytes) {
        writeFile(prefPath(), bytes);
        return load();
    }

    TempFolder folder_;
    testing::FakeLookup host_;
};

TEST_F(PreferencesTest, ReadsTheFourModes) {
    EXPECT_EQ(loadFrom("v01"), 0);
    EXPECT_EQ(loadFrom("v02"), 1);
    EXPECT_EQ(loadFrom("v03"), 2);
    EXPECT_EQ(loadFrom("v04"), 3);
    EXPECT_EQ(g_kindAsked, host::kFolderUserData);
    EXPECT_EQ(g_flagAsked, 1);
}

TEST_F(PreferencesTest, OnlyTheFirstThreeBytesCount) {
    EXPECT_EQ(loadFrom("v02\n"), 1);
    EXPECT_EQ(loadFrom("v02\r\n"), 1);
    EXPECT_EQ(loadFrom("v01 and a good deal more text than eight bytes"), 0);
}

TEST_F(PreferencesTest, AnythingElseGivesModeThree) {
    EXPECT_EQ(load(), 3) << "no file";
    EXPECT_EQ(loadFrom(""), 3);
    EXPECT_EQ(loadFrom("v05"), 3);
    EXPECT_EQ(loadFrom("v00"), 3);
    EXPECT_EQ(loadFrom("v1"), 3);
    EXPECT_EQ(loadFrom("v0"), 3);
    EXPECT_EQ(loadFrom("V01"), 3);
    EXPECT_EQ(loadFrom(" v01"), 3);
    EXPECT_EQ(loadFrom(std::string("v\0"
                                   "1",
                                   3)),
              3);
}

TEST_F(PreferencesTest, StoringWritesExactlyThreeCharacters) {
    store(2);
    EXPECT_EQ(readFile(prefPath()), "v03");
    store(0);
    EXPECT_EQ(readFile(prefPath()), "v01");
    store(1);
    EXPECT_EQ(readFile(prefPath()), "v02");
    store(3);
    EXPECT_EQ(readFile(prefPath()), "v04");
}

TEST_F(PreferencesTest, ModesOutsideTheRangeAreStoredAsThree) {
    store(7);
    EXPECT_EQ(readFile(prefPath()), "v04");
    store(-1);
    EXPECT_EQ(readFile(prefPath()), "v04");
}

TEST_F(PreferencesTest, StoreMakesTheDataFolderAndReadsBack) {
    ASSERT_FALSE(std::filesystem::exists(folder_ / "Data"));
    store(1);
    EXPECT_TRUE(std::filesystem::is_directory(folder_ / "Data"));
    EXPECT_EQ(load(), 1);
}

TEST_F(PreferencesTest, StoreReplacesLongerContentWhole) {
    writeFile(prefPath(), "v01 plus old bytes that must go");
    store(2);
    EXPECT_EQ(readFile(prefPath()), "v03");
    EXPECT_EQ(listFolder(folder_ / "Data"), std::vector<std::string>{"Pelmora.pref"}) << "no temporary file left";
}

TEST_F(PreferencesTest, DataBeingAFileStoresNothing) {
    writeFile(folder_ / "Data", "not a folder");
    store(0);
    EXPECT_EQ(readFile(folder_ / "Data"), "not a folder");
    EXPECT_EQ(load(), 3);
}

TEST_F(PreferencesTest, AFailedReplaceLeavesTheOldEntryAndNoTemporary) {
    // A folder where the file should be cannot be replaced by a file.
    std::filesystem::create_directories(prefPath());
    writeFile(prefPath() + "/keep", "x");
    store(0);
    EXPECT_TRUE(std::filesystem::is_directory(prefPath()));
    EXPECT_EQ(readFile(prefPath() + "/keep"), "x");
    EXPECT_EQ(listFolder(folder_ / "Data"), std::vector<std::string>{"Pelmora.pref"});
}

TEST_F(PreferencesTest, WithoutAFolderFromTheHostNothingIsReadOrWritten) {
    host_.remove(host::kGetFolderPath);
    const auto before = std::filesystem::current_path();
    const bool prefHere = std::filesystem::exists("Data/Pelmora.pref");
    EXPECT_EQ(load(), 3);
    store(1);
    EXPECT_EQ(std::filesystem::exists("Data/Pelmora.pref"), prefHere) << "nothing written beside the process";
    EXPECT_EQ(std::filesystem::current_path(), before);
    EXPECT_TRUE(preferencePath().empty());
}

TEST(PreferenceBytes, TextForEachMode) {
    EXPECT_STREQ(modeText(0), "v01");
    EXPECT_STREQ(modeText(1), "v02");
    EXPECT_STREQ(modeText(2), "v03");
    EXPECT_STREQ(modeText(3), "v04");
    EXPECT_STREQ(modeText(4), "v04");
}

}  // namespace
}  // namespace pelmora
