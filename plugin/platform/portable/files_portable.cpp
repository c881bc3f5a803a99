// File-system calls on POSIX systems.
#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>

#include "base/ascii_case.h"
#include "platform/file_replace.h"
#include "plugin/platform/files.h"
#include "plugin/platform/portable/file_names.h"

namespace pelmora::platform {

const char* pathSeparator() { return "/"; }

std::size_t pathLengthLimit() { return PATH_MAX - 1; }

std::vector<std::string> findFiles(const std::string& folder, const std::string& extension) {
    std::vector<std::string> names;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    // A folder the C library had no memory to list is not an empty one.
    if (!dir && errno == ENOMEM) throw std::bad_alloc();
    if (!dir) return names;
    // As FindFirstFileA: the extension in any case, the names in the host's code page.
    while (dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (!base::hasExtension(name, extension)) continue;
        struct stat info {};
        if (stat((folder + name).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        if (std::optional<std::string> hostName = hostFileName(name)) names.push_back(std::move(*hostName));
    }
    return names;
}

bool readWholeFile(const std::string& path, std::string& out) {
    out.clear();
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(fileSystemPath(path).c_str(), "rb"), std::fclose);
    // No memory for the stream is not an unreadable file: it goes to the caller too.
    if (!file && errno == ENOMEM) throw std::bad_alloc();
    if (!file) return false;
    // Only a regular file has a size to read: a folder opened by name would
    // report a meaningless one.
    struct stat info {};
    if (fstat(fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    if (info.st_size < 0 || static_cast<unsigned long long>(info.st_size) >= out.max_size()) return false;
    const auto size = static_cast<std::size_t>(info.st_size);
    try {
        out.resize(size);
    } catch (const std::length_error&) {
        // Larger than a string can be: unreadable. Out of memory goes to the caller.
        out = std::string();
        return false;
    }
    std::size_t got = size > 0 ? std::fread(out.data(), 1, size, file.get()) : 0;
    out.resize(got);
    return got == size;
}

bool createDirectory(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }

// Paths are bytes to POSIX systems: the host's code page names the same file
// the platform floor's UTF-8 calls do.
std::string replacementTarget(const std::string& path) { return tool::system::replacementTarget(path); }

bool replaceFile(const std::string& from, const std::string& to) { return tool::system::replaceFile(from, to); }

bool removeFile(const std::string& path) { return tool::system::removeFile(path); }

bool prepareReplacement(const std::string& from, const std::string& to) {
    return tool::system::prepareReplacement(from, to);
}

std::string attributeNotKept() { return tool::system::attributeNotKept(); }

bool fileExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

}  // namespace pelmora::platform
