// The failures of file calls said for a user: a full disk, a full quota, a
// path too long, no permission and a read-only file system each by name, and
// told apart as failures of the chosen path or of the disk's state.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "platform/file_creation.h"
#include "tests/support/temp_folder.h"

namespace pelmora {
namespace {

TEST(FileErrorText, EachFailureIsSaidByName) {
    exporttest::TempFolder folder;
    const std::string where = folder.path().string();
    // Each said by name, and told apart: a failure of the path the user chose
    // (a bad input), or of the disk's state (the run's failure).
    struct Case {
        int error;
        std::string said;
        bool ofThePath;
    };
    const Case cases[] = {{ENOSPC, "the disk is full", false},
                          {EDQUOT, "the disk quota is full", false},
                          {ENAMETOOLONG, "the path is too long", true},
                          {EACCES, "no permission", true},
                          {EPERM, "no permission", true},
                          {EROFS, "the file system is read-only", true},
                          {EIO, std::strerror(EIO), false}};
    for (const Case& c : cases) {
        errno = c.error;
        EXPECT_EQ(tool::system::lastFileErrorIsOfThePath(), c.ofThePath) << std::strerror(c.error);
        const std::string text = tool::system::lastFileErrorIn(where);
        EXPECT_EQ(text.rfind(c.said, 0), 0u) << std::strerror(c.error) << ": " << text;
    }
    // A folder with room says nothing about space.
    EXPECT_EQ(tool::system::folderSpaceProblem(where), "");
}

}  // namespace
}  // namespace pelmora
