// The tool's Ctrl+C handling through its system seam, the same on Linux and
// (under Wine) on Windows: a press during a hold, however deeply nested,
// arrives when the outermost hold ends; a second press takes the registered
// files and staging folder away and ends the process the way Ctrl+C ends one.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/interrupt.h"
#include "platform/interrupt_signal.h"
#include "tests/support/temp_folder.h"

namespace pelmora {
namespace {

using tool::InterruptScope;

TEST(InterruptSeam, APressDuringHoldsArrivesWhenTheOutermostEnds) {
    InterruptScope scope(false);
    tool::system::simulateInterrupt();
    EXPECT_TRUE(InterruptScope::raised());
    InterruptScope::clear();
    {
        InterruptScope::Hold outer;
        {
            InterruptScope::Hold inner;
            tool::system::simulateInterrupt();
        }
        EXPECT_FALSE(InterruptScope::raised()) << "the press came while the outer hold still stood";
    }
    EXPECT_TRUE(InterruptScope::raised());
}

bool endedByCtrlC(int status) {
#if defined(_WIN32)
    return static_cast<unsigned>(status) == 0xC000013AU;  // what the console's Ctrl+C leaves
#else
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGINT;
#endif
}

// The folder of the death test: on Windows the test runs again in a new
// process up to the expected death, which must find the same files.
std::filesystem::path deathTestFolder() {
    constexpr const char* kVariable = "PELMORA_SEAM_TEST_FOLDER";
    if (const char* given = std::getenv(kVariable)) return given;
    const std::filesystem::path folder =
        std::filesystem::path(::testing::TempDir()) / ("pelmora_seam_" + std::to_string(::getpid()));
#if defined(_WIN32)
    _putenv_s(kVariable, folder.string().c_str());
#else
    setenv(kVariable, folder.c_str(), 1);
#endif
    return folder;
}

TEST(InterruptSeamDeathTest, ASecondPressRemovesTheRegisteredFilesAndEndsTheProcess) {
    const std::filesystem::path folder = deathTestFolder();
    const std::string staging = (folder / "scene.qmx.part").string();
    const std::string partial = (folder / "scene.qmx.part.pelmora-tmp").string();
    const std::string kept = (folder / "scene.qmx").string();
    // A conversion's staging folder, with what its writer made in it.
    const std::string stagingFolder = (folder / ".scene.gltf.1.part").string();
    std::filesystem::create_directories(stagingFolder);
    for (const std::string& path : {staging, partial, kept}) exporttest::writeFile(path, "bytes");
    for (int i = 0; i < 300; ++i) exporttest::writeFile(stagingFolder + "/side-file-" + std::to_string(i), "bytes");
    EXPECT_EXIT(
        {
            InterruptScope scope(false);
            InterruptScope::removeOnQuit(0, staging);
            InterruptScope::removeOnQuit(1, partial);
            InterruptScope::removeOnQuit(InterruptScope::kFolderSlot, stagingFolder);
            tool::system::simulateInterrupt();
            if (!InterruptScope::raised()) std::exit(10);  // the first press only raises the flag
            {
                InterruptScope::Hold hold;
                tool::system::simulateInterrupt();
                // Held back: the files are still there.
                if (!std::filesystem::exists(staging)) std::exit(11);
            }
            std::exit(12);  // not reached: the second press ends the process
        },
        endedByCtrlC, "");
    EXPECT_FALSE(std::filesystem::exists(staging));
    EXPECT_FALSE(std::filesystem::exists(partial));
    EXPECT_FALSE(std::filesystem::exists(stagingFolder));
    EXPECT_TRUE(std::filesystem::exists(kept)) << "a file not registered is left alone";
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

}  // namespace
}  // namespace pelmora
