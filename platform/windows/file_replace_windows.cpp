#include <windows.h>

#include "platform/file_replace.h"
#include "platform/windows/wide_text.h"

namespace pelmora::tool::system {
namespace {

// Puts what was written to `path` on the disk before it takes the old file's place.
bool flushToDisk(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const BOOL flushed = FlushFileBuffers(file);
    const BOOL closed = CloseHandle(file);
    return flushed && closed;
}

}  // namespace

// Links are resolved by the file system itself on Windows: the path is the target.
std::string replacementTarget(const std::string& path) { return path; }

bool prepareReplacement(const std::string& from, const std::string&) { return flushToDisk(wideText(from)); }

// ReplaceFileW keeps the security descriptor itself.
std::string attributeNotKept() { return {}; }

bool replaceFile(const std::string& fromUtf8, const std::string& toUtf8) {
    const std::wstring from = fullWidePath(fromUtf8);
    const std::wstring to = fullWidePath(toUtf8);
    if (!flushToDisk(from)) return false;
    const DWORD attributes = GetFileAttributesW(to.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        // Keeps the replaced file's attributes, security and creation time.
        if (ReplaceFileW(to.c_str(), from.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
            return true;
        // Only when the old file could not be removed is a plain move worth a
        // try (its attributes are then copied below); other failures leave
        // the old file in place, which is all a failed replacement may do.
        if (GetLastError() != ERROR_UNABLE_TO_REMOVE_REPLACED) return false;
    }
    if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return false;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        SetFileAttributesW(to.c_str(), attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                                     FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED));
    return true;
}

bool removeFile(const std::string& path) {
    // On the stack: this may run while an out-of-memory failure unwinds.
    wchar_t wide[4097];
    return wideTextInto(path.c_str(), wide, static_cast<int>(sizeof wide / sizeof *wide)) > 0 && DeleteFileW(wide) != 0;
}

}  // namespace pelmora::tool::system
