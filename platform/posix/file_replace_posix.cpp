#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>

#include "platform/file_replace.h"

namespace pelmora::tool::system {

std::string replacementTarget(const std::string& path) {
    // Links are followed as the kernel does, to a bounded depth; a loop ends
    // with the last link read, which an open would refuse anyway.
    constexpr int kMaxLinks = 40;
    std::string current = path;
    for (int hop = 0; hop < kMaxLinks; ++hop) {
        struct stat info {};
        if (lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
        char link[PATH_MAX];
        const ssize_t length = readlink(current.c_str(), link, sizeof link);
        if (length <= 0 || static_cast<std::size_t>(length) >= sizeof link) return current;
        std::string next(link, static_cast<std::size_t>(length));
        if (next.front() != '/') {
            const std::size_t slash = current.find_last_of('/');
            if (slash != std::string::npos) next.insert(0, current, 0, slash + 1);
        }
        current = std::move(next);
    }
    return current;
}

namespace {

// Gives the new file the old one's permissions, and its owner and group when
// the process may set them (only a privileged process may give a file away).
void keepModeAndOwner(int fd, const std::string& replaced) {
    struct stat old {};
    if (stat(replaced.c_str(), &old) != 0 || !S_ISREG(old.st_mode)) return;
    struct stat fresh {};
    if (fstat(fd, &fresh) != 0) return;
    if (fresh.st_uid != old.st_uid || fresh.st_gid != old.st_gid) {
        if (fchown(fd, old.st_uid, old.st_gid) != 0 && fresh.st_gid != old.st_gid) {
            // Not allowed to give the file away: the group alone may still be ours to set.
            (void)!fchown(fd, static_cast<uid_t>(-1), old.st_gid);
        }
    }
    fchmod(fd, old.st_mode & 07777);
}

// Makes the rename itself durable; a file system that cannot sync folders
// (EINVAL) has nothing more to give, and the replacement has happened anyway.
void syncFolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

}  // namespace

bool replaceFile(const std::string& from, const std::string& to) {
    const int fd = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    keepModeAndOwner(fd, to);
    // The data first: renamed before it is on the disk, a power loss could
    // leave an empty file where the old one was.
    const bool synced = fsync(fd) == 0;
    const bool closed = close(fd) == 0;
    if (!synced || !closed) return false;
    if (std::rename(from.c_str(), to.c_str()) != 0) return false;
    syncFolderOf(to);
    return true;
}

bool removeFile(const std::string& path) { return std::remove(path.c_str()) == 0; }

}  // namespace pelmora::tool::system
