#include "platform/file_status.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace pelmora::tool::system {

PathKind pathKind(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return PathKind::Missing;
    if (S_ISREG(info.st_mode)) return PathKind::File;
    if (S_ISDIR(info.st_mode)) return PathKind::Folder;
    if (S_ISFIFO(info.st_mode)) return PathKind::Pipe;
    if (S_ISSOCK(info.st_mode)) return PathKind::Socket;
    return PathKind::Device;  // character and block devices
}

long long fileSize(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}

long long fileSize(std::FILE* file) {
    struct stat info {};
    return ::fstat(fileno(file), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}

long linkCount(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? static_cast<long>(info.st_nlink) : 0;
}

FileIdentity FileIdentity::of(const std::string& path) {
    FileIdentity state;
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return state;
    state.exists = true;
    state.device = info.st_dev;
    state.index = info.st_ino;
    state.size = info.st_size;
    state.modifiedSeconds = info.st_mtim.tv_sec;
    state.modifiedNanoseconds = info.st_mtim.tv_nsec;
    return state;
}

namespace {

// The names in `folder` whose kind (by lstat) `wanted` accepts.
std::vector<std::string> entriesIn(const std::string& folder, bool (*wanted)(mode_t)) {
    std::vector<std::string> names;
    DIR* listing = ::opendir(folder.c_str());
    if (!listing && errno == ENOMEM) throw std::bad_alloc();
    if (!listing) return names;
    try {
        while (const dirent* entry = ::readdir(listing)) {
            struct stat info {};
            const std::string name = entry->d_name;
            if (name == "." || name == "..") continue;
            if (::lstat((folder + "/" + name).c_str(), &info) == 0 && wanted(info.st_mode)) names.push_back(name);
        }
    } catch (...) {
        ::closedir(listing);
        throw;
    }
    ::closedir(listing);
    return names;
}

}  // namespace

std::vector<std::string> plainFilesIn(const std::string& folder) {
    return entriesIn(folder, [](mode_t mode) { return S_ISREG(mode); });
}

std::vector<std::string> namesIn(const std::string& folder) {
    return entriesIn(folder, [](mode_t) { return true; });
}

std::vector<std::string> foldersIn(const std::string& folder) {
    return entriesIn(folder, [](mode_t mode) { return S_ISDIR(mode); });
}

bool mayWriteIn(const std::string& folder, std::string& why) {
    if (::access(folder.c_str(), W_OK | X_OK) == 0) return true;
    why = std::strerror(errno);
    return false;
}

}  // namespace pelmora::tool::system
