// File-system calls on Windows, with the ANSI file functions the host's
// paths are given in.
#include <windows.h>

#include <limits>
#include <stdexcept>

#include "platform/file_replace.h"
#include "platform/path_text.h"
#include "plugin/platform/files.h"

namespace pelmora::platform {
namespace {

// Closes a find or file handle when the scope ends.
class FindScope {
public:
    explicit FindScope(HANDLE handle) : handle_(handle) {}
    ~FindScope() {
        if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
    }
    FindScope(const FindScope&) = delete;
    FindScope& operator=(const FindScope&) = delete;

private:
    HANDLE handle_;
};

class FileScope {
public:
    explicit FileScope(HANDLE handle) : handle_(handle) {}
    ~FileScope() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    FileScope(const FileScope&) = delete;
    FileScope& operator=(const FileScope&) = delete;

private:
    HANDLE handle_;
};

}  // namespace

const char* pathSeparator() { return "\\"; }

// The classic limit of the ANSI file calls: MAX_PATH less the terminating NUL.
std::size_t pathLengthLimit() { return MAX_PATH - 1; }

std::vector<std::string> findFiles(const std::string& folder, const std::string& extension) {
    std::vector<std::string> names;
    // "?*" asks for at least one character before the extension.
    const std::string pattern = folder + "?*." + extension;
    if (pattern.size() >= MAX_PATH) return names;
    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    FindScope scope(search);
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        names.emplace_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    return names;
}

bool readWholeFile(const std::string& path, std::string& out) {
    out.clear();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    FileScope scope(file);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) return false;
    // One ReadFile request takes at most a 32-bit count.
    if (size.QuadPart < 0 || size.QuadPart >= static_cast<LONGLONG>(std::numeric_limits<DWORD>::max()) ||
        static_cast<unsigned long long>(size.QuadPart) >= out.max_size()) {
        return false;
    }
    const auto wanted = static_cast<DWORD>(size.QuadPart);
    try {
        out.resize(wanted);
    } catch (const std::length_error&) {
        // Larger than a string can be: unreadable. Out of memory goes to the caller.
        out = std::string();
        return false;
    }
    DWORD got = 0;
    const BOOL ok = wanted > 0 ? ReadFile(file, out.data(), wanted, &got, nullptr) : TRUE;
    out.resize(got);
    return ok && got == wanted;
}

bool createDirectory(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != 0; }

// The replacement itself is the platform floor's, given the paths in UTF-8:
// the host's code page is the system's ANSI code page, as the narrow calls
// read it.
std::string replacementTarget(const std::string& path) { return path; }

bool prepareReplacement(const std::string& from, const std::string& to) {
    std::string fromUtf8, toUtf8;
    return tool::system::utf8FromNarrowPath(from, fromUtf8) && tool::system::utf8FromNarrowPath(to, toUtf8) &&
           tool::system::prepareReplacement(fromUtf8, toUtf8);
}

std::string attributeNotKept() { return tool::system::attributeNotKept(); }

bool replaceFile(const std::string& from, const std::string& to) {
    std::string fromUtf8, toUtf8;
    return tool::system::utf8FromNarrowPath(from, fromUtf8) && tool::system::utf8FromNarrowPath(to, toUtf8) &&
           tool::system::replaceFile(fromUtf8, toUtf8);
}

bool removeFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool fileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace pelmora::platform
