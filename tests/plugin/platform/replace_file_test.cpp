// The platform's file replacement: the new file takes the old one's place
// with its permissions, a link is followed to the file it points to, and a
// replacement that cannot happen leaves the old file as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <filesystem>
#include <string>

#include "plugin/platform/files.h"
#include "tests/support/temp_folder.h"

namespace pelmora {
namespace {

namespace fs = std::filesystem;
using exporttest::readFile;
using exporttest::TempFolder;
using exporttest::writeFile;

TEST(ReplaceFile, TakesTheOldPlaceOrLeavesItAsItWas) {
    TempFolder folder;
    writeFile(folder / "target", "old");
    writeFile(folder / "new", "new");
    ASSERT_TRUE(platform::replaceFile(folder / "new", folder / "target"));
    EXPECT_EQ(readFile(folder / "target"), "new");
    EXPECT_FALSE(fs::exists(folder / "new"));
    // A new file where there was none.
    writeFile(folder / "second", "second");
    ASSERT_TRUE(platform::replaceFile(folder / "second", folder / "fresh"));
    EXPECT_EQ(readFile(folder / "fresh"), "second");

    // Nothing to move: false, and the target stays.
    EXPECT_FALSE(platform::replaceFile(folder / "absent", folder / "target"));
    EXPECT_EQ(readFile(folder / "target"), "new");

    // The guard removes what was not kept, and only that.
    writeFile(folder / "temporary", "partial");
    { base::PartialFile guard(folder / "temporary", &platform::removeFile); }
    EXPECT_FALSE(fs::exists(folder / "temporary"));
    writeFile(folder / "kept", "whole");
    {
        base::PartialFile guard(folder / "kept", &platform::removeFile);
        guard.keep();
    }
    EXPECT_TRUE(fs::exists(folder / "kept"));
}

#if !defined(_WIN32)
unsigned modeOf(const std::string& path) {
    struct stat info {};
    stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

TEST(ReplaceFile, KeepsTheModeAndFollowsLinks) {
    TempFolder folder;
    writeFile(folder / "target", "old");
    chmod((folder / "target").c_str(), 0600);
    writeFile(folder / "new", "new");
    chmod((folder / "new").c_str(), 0644);
    ASSERT_TRUE(platform::replaceFile(folder / "new", folder / "target"));
    EXPECT_EQ(modeOf(folder / "target"), 0600u);

    // A chain of links, one relative, one absolute, ends at the target; one
    // that points nowhere yet gives the file it would create.
    fs::create_symlink("target", folder / "first");
    fs::create_symlink(fs::path(folder / "first"), folder / "second");
    EXPECT_EQ(platform::replacementTarget(folder / "second"), folder / "target");
    EXPECT_EQ(platform::replacementTarget(folder / "target"), folder / "target");
    fs::create_symlink("missing", folder / "dangling");
    EXPECT_EQ(platform::replacementTarget(folder / "dangling"), folder / "missing");
}
#endif

}  // namespace
}  // namespace pelmora
