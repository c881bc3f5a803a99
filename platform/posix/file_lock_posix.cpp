#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/file_creation.h"
#include "platform/file_lock.h"

namespace pelmora::tool::system {
namespace {

constexpr auto kRetryEvery = std::chrono::milliseconds(20);

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

FileLock FileLock::take(const std::string& file, const std::function<bool()>& keepWaiting) {
    FileLock lock;
    lock.path_ = lockPathFor(file);
    for (;;) {
        const int fd = ::open(lock.path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) {
            lock.why_ = "cannot make the lock file " + lock.path_ + ": " + lastFileErrorIn(folderOf(lock.path_));
            return lock;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            if (stillNamed(fd, lock.path_)) {
                lock.state_ = State::Held;
                lock.handle_ = fd;
                return lock;
            }
        } else if (errno != EWOULDBLOCK && errno != EINTR) {
            lock.why_ = "cannot lock " + lock.path_ + ": " + std::strerror(errno);
            ::close(fd);
            return lock;
        }
        ::close(fd);
        if (!keepWaiting()) {
            lock.state_ = State::Busy;
            lock.why_ = "another run holds the lock " + lock.path_;
            return lock;
        }
        std::this_thread::sleep_for(kRetryEvery);
    }
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
