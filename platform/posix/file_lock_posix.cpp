#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/file_creation.h"
#include "platform/file_lock.h"

namespace pelmora::tool::system {
namespace {

// Whether the lock file `fd` holds is still the one named `path`: a run that
// let go of the lock removed it, and one waiting on the removed file must
// start again with the new one.
bool stillNamed(int fd, const std::string& path) {
    struct stat opened {
    }, named{};
    if (::fstat(fd, &opened) != 0 || ::stat(path.c_str(), &named) != 0) return false;
    return opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// Lets every user who may write `file` open the lock file: its owner and
// group, and a read and write bit for each class that may write the file.
// A lock file only its maker could open (made by an administrator's run,
// say) would keep the file's owner from exporting it for as long as it stays.
void shareWithWritersOf(int fd, const std::string& file) {
    struct stat lockFile {
    }, shared{};
    if (::fstat(fd, &lockFile) != 0 || lockFile.st_uid != ::geteuid() || ::stat(file.c_str(), &shared) != 0) return;
    if (lockFile.st_uid != shared.st_uid || lockFile.st_gid != shared.st_gid)
        (void)!::fchown(fd, shared.st_uid, shared.st_gid);  // allowed to an administrator only; the group maybe
    mode_t mode = S_IRUSR | S_IWUSR;
    if (shared.st_mode & S_IWGRP) mode |= S_IRGRP | S_IWGRP;
    if (shared.st_mode & S_IWOTH) mode |= S_IROTH | S_IWOTH;
    ::fchmod(fd, mode);
}

// The name of the user `uid`, or the number where it has none.
std::string userName(uid_t uid) {
    if (const passwd* user = ::getpwuid(uid)) return user->pw_name;
    return "user " + std::to_string(uid);
}

// Why the lock file cannot be opened, and what to do, when it is there.
std::string unopenable(const std::string& path, int error) {
    struct stat info {};
    if (error != EACCES || ::lstat(path.c_str(), &info) != 0) return {};
    return "the lock file " + path + " belongs to " + userName(info.st_uid) +
           " and only they may open it (left by an earlier version or a killed run). If no export of this "
           "drawing is running now, remove it (rm " +
           path + ") and export again";
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : path.substr(0, slash);
}

}  // namespace

FileLock::Attempt FileLock::tryOnce(const std::string& file) {
    int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    // The lock needs no more than an open file: one we may only read does.
    if (fd < 0 && errno == EACCES) fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        why_ = unopenable(path_, error);
        errno = error;
        if (why_.empty()) why_ = "cannot make the lock file " + path_ + ": " + lastFileErrorIn(folderOf(path_));
        return Attempt::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        if (stillNamed(fd, path_)) {
            shareWithWritersOf(fd, file);
            handle_ = fd;
            return Attempt::Held;
        }
    } else if (errno != EWOULDBLOCK && errno != EINTR) {
        why_ = "cannot lock " + path_ + ": " + std::strerror(errno);
        ::close(fd);
        return Attempt::Failed;
    }
    ::close(fd);
    return Attempt::Busy;
}

void FileLock::release() {
    if (handle_ < 0) return;
    // Removed while still held: no other run can take the lock on a file
    // that is about to go.
    ::unlink(path_.c_str());
    ::close(static_cast<int>(handle_));
    handle_ = -1;
    state_ = State::Unavailable;
}

}  // namespace pelmora::tool::system
