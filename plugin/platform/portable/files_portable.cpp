// File-system calls on POSIX systems.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>
#include <memory>

#include "platform/files.h"

namespace pelmora::platform {

const char* pathSeparator() { return "/"; }

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
    if (std::fseek(file.get(), 0, SEEK_END) != 0) return false;
    long size = std::ftell(file.get());
    if (size < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) return false;
    out.resize(static_cast<std::size_t>(size));
    std::size_t got = size > 0 ? std::fread(out.data(), 1, out.size(), file.get()) : 0;
    out.resize(got);
    return got == static_cast<std::size_t>(size);
}

bool createDirectory(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }

bool replaceFile(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }

bool removeFile(const std::string& path) { return std::remove(path.c_str()) == 0; }

bool fileExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

}  // namespace pelmora::platform
