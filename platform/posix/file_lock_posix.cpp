#include <fcntl.h>
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

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : path.substr(0, slash);
}

}  // namespace

FileLock::Attempt FileLock::tryOnce() {
    const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        why_ = "cannot make the lock file " + path_ + ": " + lastFileErrorIn(folderOf(path_));
        return Attempt::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        if (stillNamed(fd, path_)) {
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
