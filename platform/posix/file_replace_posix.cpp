#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>

#include "platform/file_attributes.h"
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

// A plain array: a thread_local with a destructor would keep the system from
// unloading the plug-in module, and its counters from starting afresh.
thread_local char t_attributeNotKept[256];

// Gives the new file the old one's permissions, and its owner and group when
// the process may set them (only a privileged process may give a file away),
// then its extended attributes (ACLs among them), which the mode must not
// overwrite. False when an attribute cannot be kept: the file would then give
// other access than the one it replaces.
bool keepWhatTheOldFileHad(int fd, const std::string& fresh, const std::string& replaced) {
    t_attributeNotKept[0] = '\0';
    struct stat old {};
    if (stat(replaced.c_str(), &old) != 0 || !S_ISREG(old.st_mode)) {
        dropOurMark(fresh);  // the new file is the user's from now on
        return true;
    }
    struct stat now {};
    if (fstat(fd, &now) != 0) return false;
    if (now.st_uid != old.st_uid || now.st_gid != old.st_gid) {
        if (fchown(fd, old.st_uid, old.st_gid) != 0 && now.st_gid != old.st_gid) {
            // Not allowed to give the file away: the group alone may still be ours to set.
            (void)!fchown(fd, static_cast<uid_t>(-1), old.st_gid);
        }
    }
    fchmod(fd, old.st_mode & 07777);
    const std::string notKept = carryAttributesOver(replaced, fresh);
    if (notKept.empty()) return true;
    std::snprintf(t_attributeNotKept, sizeof t_attributeNotKept, "%s", notKept.c_str());
    errno = EPERM;
    return false;
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

bool prepareReplacement(const std::string& from, const std::string& to) {
    const int fd = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool kept = keepWhatTheOldFileHad(fd, from, to);
    // The data first: renamed before it is on the disk, a power loss could
    // leave an empty file where the old one was.
    const bool synced = kept && fsync(fd) == 0;
    const int error = errno;
    const bool closed = close(fd) == 0;
    errno = error;
    return synced && closed;
}

std::string attributeNotKept() { return t_attributeNotKept; }

bool replaceFile(const std::string& from, const std::string& to) {
    if (!prepareReplacement(from, to)) return false;
    if (std::rename(from.c_str(), to.c_str()) != 0) return false;
    syncFolderOf(to);
    return true;
}

bool removeFile(const std::string& path) { return std::remove(path.c_str()) == 0; }

}  // namespace pelmora::tool::system
