// The platform's file replacement: the new file takes the old one's place
// with its permissions, access control lists and extended attributes (and
// no attribute the new file had of its own), a link is followed to the file it points to, and a
// replacement that cannot happen leaves the old file as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>
#if !defined(_WIN32)
#include <sys/xattr.h>
#endif

#include <cerrno>
#include <cstdint>
#include <cstring>

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

// An access control list as the kernel keeps it: version 2, then entries of
// tag, permissions and id, sorted by tag and id.
struct AclEntry {
    std::uint16_t tag, permissions;
    std::uint32_t id = 0xffffffffu;
};
std::string aclBytes(std::initializer_list<AclEntry> entries) {
    std::string bytes;
    const auto put = [&bytes](const void* value, std::size_t size) {
        bytes.append(static_cast<const char*>(value), size);
    };
    const std::uint32_t version = 2;
    put(&version, 4);
    for (const AclEntry& entry : entries) {
        put(&entry.tag, 2);
        put(&entry.permissions, 2);
        put(&entry.id, 4);
    }
    return bytes;
}
constexpr std::uint16_t kOwner = 0x01, kNamedUser = 0x02, kOwningGroup = 0x04, kMask = 0x10, kOthers = 0x20;

// The attribute's value; "(none)" when the file does not have it.
std::string attributeOf(const std::string& path, const char* name) {
    char value[256];
    const ssize_t got = ::getxattr(path.c_str(), name, value, sizeof value);
    return got < 0 ? std::string("(none)") : std::string(value, static_cast<std::size_t>(got));
}

bool setAttribute(const std::string& path, const char* name, const std::string& value) {
    return ::setxattr(path.c_str(), name, value.data(), value.size(), 0) == 0;
}

TEST(ReplaceFile, KeepsAclsAndExtendedAttributesAndGrantsNothingMore) {
    TempFolder folder;
    const std::string shared = folder / "shared", plain = folder / "plain";
    writeFile(shared, "old");
    writeFile(plain, "old");
    chmod(plain.c_str(), 0640);
    if (!setAttribute(shared, "user.note", "kept"))
        GTEST_SKIP() << "the test folder's file system keeps no extended attributes: " << std::strerror(errno);
    // user:daemon:rw-, group::r--: the daemon may write, the group may only read.
    const std::string acl = aclBytes({{kOwner, 6}, {kNamedUser, 6, 1}, {kOwningGroup, 4}, {kMask, 6}, {kOthers, 0}});
    ASSERT_TRUE(setAttribute(shared, "system.posix_acl_access", acl)) << std::strerror(errno);
    // The folder gives every new file rwx for all and user 2: no replacement may keep that.
    const std::string wide = aclBytes({{kOwner, 7}, {kNamedUser, 7, 2}, {kOwningGroup, 7}, {kMask, 7}, {kOthers, 7}});
    ASSERT_TRUE(setAttribute(folder.path(), "system.posix_acl_default", wide)) << std::strerror(errno);
    const unsigned sharedMode = modeOf(shared);
    for (const std::string& target : {shared, plain}) {
        writeFile(folder / "new", "new");
        ASSERT_NE(attributeOf(folder / "new", "system.posix_acl_access"), "(none)") << "the folder's ACL was inherited";
        ASSERT_TRUE(platform::replaceFile(folder / "new", target)) << target;
        EXPECT_EQ(readFile(target), "new");
    }
    EXPECT_EQ(attributeOf(shared, "user.note"), "kept");
    EXPECT_EQ(attributeOf(shared, "system.posix_acl_access"), acl);
    EXPECT_EQ(modeOf(shared), sharedMode);
    EXPECT_EQ(attributeOf(plain, "system.posix_acl_access"), "(none)");
    EXPECT_EQ(modeOf(plain), 0640u);
}
#endif

}  // namespace
}  // namespace pelmora
