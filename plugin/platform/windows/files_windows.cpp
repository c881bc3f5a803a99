// File-system calls on Windows, with the ANSI file functions the host's
// paths are given in.
#include <windows.h>

#include <limits>
#include <stdexcept>

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

// Links are resolved by the file system itself on Windows: the path is the target.
std::string replacementTarget(const std::string& path) { return path; }

namespace {

// Puts what was written to `path` on the disk before it takes the old file's place.
bool flushToDisk(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const BOOL flushed = FlushFileBuffers(file);
    const BOOL closed = CloseHandle(file);
    return flushed && closed;
}

}  // namespace

bool prepareReplacement(const std::string& from, const std::string&) { return flushToDisk(from); }

// ReplaceFileA keeps the security descriptor itself.
std::string attributeNotKept() { return {}; }

bool replaceFile(const std::string& from, const std::string& to) {
    if (!flushToDisk(from)) return false;
    const DWORD attributes = GetFileAttributesA(to.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        // Keeps the replaced file's attributes, security and creation time.
        if (ReplaceFileA(to.c_str(), from.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
            return true;
        // Only when the old file could not be removed is a plain move worth a
        // try (its attributes are then copied below); other failures leave
        // the old file in place, which is all a failed replacement may do.
        if (GetLastError() != ERROR_UNABLE_TO_REMOVE_REPLACED) return false;
    }
    if (!MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return false;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        SetFileAttributesA(to.c_str(), attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                                     FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED));
    return true;
}

bool removeFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool fileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace pelmora::platform
