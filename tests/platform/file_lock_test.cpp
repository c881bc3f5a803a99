// The lock runs of the tool take on a drawing they will rewrite, and the
// read-only test, the same on Linux and (under Wine) on Windows.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#if !defined(_WIN32)
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

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

#if !defined(_WIN32)
// Runs `body` in a child process as the user and group `id`; its exit status.
int asUser(uid_t id, const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(id) != 0 || ::setuid(id) != 0) ::_exit(90);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(FileLock, AnotherUsersLockLeftByAKilledRunBlocksNothing) {
    if (::geteuid() != 0) GTEST_SKIP() << "runs as root only: it needs a drawing of another user";
    exporttest::TempFolder folder;
    ::chmod(folder.path().c_str(), 0777);
    const uid_t owner = 65534;  // nobody
    const std::string drawing = folder / "d.json";
    exporttest::writeFile(drawing, "{}");
    ASSERT_EQ(::chown(drawing.c_str(), owner, owner), 0);
    const std::string lockFile = tool::system::lockPathFor(drawing);

    // An administrator's export of it, killed while it held the lock.
    ASSERT_EQ(asUser(0,
                     [&] {
                         const FileLock held = FileLock::take(drawing, [] { return false; });
                         if (held.held()) ::_exit(0);  // ended without letting go, as a kill ends it
                         return 1;
                     }),
              0);
    struct stat left {};
    ASSERT_EQ(::stat(lockFile.c_str(), &left), 0) << "the killed run's lock file stays";
    EXPECT_EQ(left.st_uid, owner) << "it belongs to the drawing's owner";
    EXPECT_EQ(asUser(owner, [&] { return FileLock::take(drawing, [] { return false; }).held() ? 0 : 1; }), 0);

    // One only its maker may open, as earlier versions left them: named, with its owner and what to do.
    fs::remove(lockFile);
    const int fd = ::open(lockFile.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_EQ(asUser(owner,
                     [&] {
                         const FileLock refused = FileLock::take(drawing, [] { return false; });
                         const std::string& why = refused.why();
                         std::fprintf(stderr, "%s\n", why.c_str());
                         return refused.state() == FileLock::State::Unavailable &&
                                        why.find(lockFile) != std::string::npos &&
                                        why.find("belongs to root") != std::string::npos &&
                                        why.find("rm " + lockFile) != std::string::npos
                                    ? 0
                                    : 1;
                     }),
              0);
}
#endif

}  // namespace
}  // namespace pelmora
