// Extensions against the file-system library's reading of the same paths,
// and the case-blind comparison both ways round.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/ascii_case.h"

namespace pelmora::base {
namespace {

TEST(AsciiCase, ExtensionAsTheFileSystemLibraryReadsIt) {
    const char* stems[] = {"", ".", "..", "name", ".hidden", "a.b", "Dir.X/", "dir/", "x.tar"};
    const char* ends[] = {"", ".", ".QMX", ".Glb", ".obj", "..", "/.", "/a"};
    for (const char* stem : stems) {
        for (const char* end : ends) {
            const std::string path = std::string(stem) + end;
            const std::string expected = asciiLower(std::filesystem::path(path).extension().string());
            EXPECT_EQ(lowerExtension(path), expected) << path;
        }
    }
}

TEST(AsciiCase, FoldsOnlyAsciiLettersAndComparesExtensionsWithoutCase) {
    EXPECT_EQ(asciiLower("AbZ@[`{\xC3\x89"), "abz@[`{\xC3\x89");
    const char* names[] = {"a.qmx", "A.QMX", "a.Qmx", ".qmx", "qmx", "a.qmxx", "a_qmx", "ab.qm"};
    const bool expected[] = {true, true, true, false, false, false, false, false};
    for (std::size_t i = 0; i < std::size(names); ++i) {
        EXPECT_EQ(hasExtension(names[i], "qmx"), expected[i]) << names[i];
        EXPECT_EQ(hasExtension(names[i], "QMX"), expected[i]) << names[i];
    }
}

}  // namespace
}  // namespace pelmora::base
