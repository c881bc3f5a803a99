// File-system calls on POSIX systems.
#include <dirent.h>
#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <exception>
#include <memory>

#include "platform/files.h"

namespace pelmora::platform {

const char* pathSeparator() { return "/"; }

std::size_t pathLengthLimit() { return PATH_MAX - 1; }

std::vector<std::string> findFiles(const std::string& folder, const std::string& extension) {
    std::vector<std::string> names;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir) return names;
    const std::string suffix = "." + extension;
    while (dirent* entry = readdir(dir.get())) {
        std::string name = entry->d_name;
        if (name.size() <= suffix.size()) continue;
        if (name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) continue;
        struct stat info {};
        if (stat((folder + name).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        names.push_back(std::move(name));
    }
    return names;
}

bool readWholeFile(const std::string& path, std::string& out) {
    out.clear();
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) return false;
    // Only a regular file has a size to read: a folder opened by name would
    // report a meaningless one.
    struct stat info {};
    if (fstat(fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    if (info.st_size < 0 || static_cast<unsigned long long>(info.st_size) >= out.max_size()) return false;
    const auto size = static_cast<std::size_t>(info.st_size);
    try {
        out.resize(size);
    } catch (const std::exception&) {
        out = std::string();
        return false;
    }
    std::size_t got = size > 0 ? std::fread(out.data(), 1, size, file.get()) : 0;
    out.resize(got);
    return got == size;
}

bool createDirectory(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }

bool replaceFile(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }

bool removeFile(const std::string& path) { return std::remove(path.c_str()) == 0; }

bool fileExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

}  // namespace pelmora::platform
