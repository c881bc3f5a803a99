// The failures of file calls said for a user: a full disk, a full quota, a
// path too long, no permission and a read-only file system each by name.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "tests/support/temp_folder.h"
#include "tool/system/file_creation.h"

namespace pelmora {
namespace {

TEST(FileErrorText, EachFailureIsSaidByName) {
    exporttest::TempFolder folder;
    const std::string where = folder.path().string();
    const std::pair<int, std::string> cases[] = {
        {ENOSPC, "the disk is full"}, {EDQUOT, "the disk quota is full"}, {ENAMETOOLONG, "the path is too long"},
        {EACCES, "no permission"},    {EPERM, "no permission"},           {EROFS, "the file system is read-only"},
        {EIO, std::strerror(EIO)}};
    for (const auto& [error, said] : cases) {
        errno = error;
        const std::string text = tool::system::lastFileErrorIn(where);
        EXPECT_EQ(text.rfind(said, 0), 0u) << std::strerror(error) << ": " << text;
    }
    // A folder with room says nothing about space.
    EXPECT_EQ(tool::system::folderSpaceProblem(where), "");
}

}  // namespace
}  // namespace pelmora
