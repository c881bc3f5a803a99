#include "platform/file_creation.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace pelmora::tool::system {

NewFile createNewFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return errno == EEXIST ? NewFile::Exists : NewFile::Failed;
    ::close(fd);
    return NewFile::Created;
}

std::string makePrivateFolder(const std::string& prefix) {
    const char* tmp = std::getenv("TMPDIR");
    for (const std::string& base : {std::string(tmp && *tmp == '/' ? tmp : "/tmp"), std::string("/tmp")}) {
        std::string pattern = base + "/" + prefix + "-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (::mkdtemp(buffer.data())) return buffer.data();
    }
    return {};
}

bool syncFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    return ::close(fd) == 0 && synced;
}

std::string lastFileError() { return std::strerror(errno); }

namespace {

constexpr const char* kDiskFull = "the disk is full (free some space or choose another disk)";
constexpr const char* kNoInodes =
    "no free inodes: the file system can hold no more files, though it may have space (remove some files or "
    "choose another disk)";

// Out of inodes rather than space: the count of free inodes is 0 where the
// file system counts them at all.
bool outOfInodes(const struct statvfs& info) { return info.f_files > 0 && info.f_favail == 0; }

}  // namespace

std::string lastFileErrorIn(const std::string& folder) {
    const int error = errno;
    struct statvfs info {};
    switch (error) {
        case ENOSPC:
            return statvfs(folder.c_str(), &info) == 0 && outOfInodes(info) && info.f_bavail > 0 ? kNoInodes
                                                                                                 : kDiskFull;
        case EDQUOT:
            return "the disk quota is full (free some of your space or choose another disk)";
        case ENAMETOOLONG:
            return "the path is too long";
        case EACCES:
        case EPERM:
            return "no permission";
        case EROFS:
            return "the file system is read-only";
        default:
            return std::strerror(error);
    }
}

bool lastFileErrorIsOfThePath() {
    switch (errno) {
        case ENAMETOOLONG:
        case EACCES:
        case EPERM:
        case EROFS:
        case ENOENT:
        case ENOTDIR:
        case EISDIR:
            return true;
        default:
            return false;
    }
}

std::string folderSpaceProblem(const std::string& folder) {
    struct statvfs info {};
    if (statvfs(folder.c_str(), &info) != 0) return {};
    if (info.f_bavail == 0 && info.f_blocks > 0) return kDiskFull;
    if (outOfInodes(info)) return kNoInodes;
    return {};
}

}  // namespace pelmora::tool::system
