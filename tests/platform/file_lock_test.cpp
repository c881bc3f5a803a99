// The lock runs of the tool take on a drawing they will rewrite, and the
// read-only test, the same on Linux and (under Wine) on Windows.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/file_lock.h"
#include "platform/read_only.h"
#include "tests/support/temp_folder.h"

namespace pelmora {
namespace {

namespace fs = std::filesystem;
using tool::system::FileLock;

TEST(FileLock, OneHolderAtATimeAndNothingLeftBehind) {
    exporttest::TempFolder folder;
    const std::string drawing = folder / "drawing.json";
    exporttest::writeFile(drawing, "{}");
    EXPECT_EQ(fs::path(tool::system::lockPathFor(drawing)).filename(), ".drawing.json.lock");

    FileLock first = FileLock::take(drawing, [] { return false; });
    ASSERT_TRUE(first.held()) << first.why();
    EXPECT_TRUE(fs::exists(first.lockPath()));
    int asked = 0;
    FileLock second = FileLock::take(drawing, [&] { return ++asked < 3; });
    EXPECT_EQ(second.state(), FileLock::State::Busy);
    EXPECT_EQ(asked, 3) << "it waited, asking each time";

    first.release();
    second = FileLock::take(drawing, [] { return false; });
    EXPECT_TRUE(second.held()) << second.why();
    FileLock moved = std::move(second);
    EXPECT_FALSE(second.held());
    moved.release();
    EXPECT_EQ(exporttest::listFolder(folder.path().string()), std::vector<std::string>{"drawing.json"});

    const FileLock nowhere = FileLock::take(folder / "missing/drawing.json", [] { return true; });
    EXPECT_EQ(nowhere.state(), FileLock::State::Unavailable);
    EXPECT_NE(nowhere.why().find("lock file"), std::string::npos) << nowhere.why();
}

TEST(FileLock, AFileWithoutWritePermissionIsReadOnly) {
    exporttest::TempFolder folder;
    const std::string file = folder / "drawing.json";
    exporttest::writeFile(file, "{}");
    EXPECT_FALSE(tool::system::isReadOnly(file));
    fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_TRUE(tool::system::isReadOnly(file));
    fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_FALSE(tool::system::isReadOnly(file));
}

}  // namespace
}  // namespace pelmora
