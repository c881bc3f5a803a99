// What the tool asks the file system about a path (UTF-8, as everywhere in
// the tool): whether and what it is, its size, its identity.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace pelmora::tool::system {

// The characters that end a folder's name in a path.
#if defined(_WIN32)
inline constexpr const char* kPathSeparators = "\\/";
#else
inline constexpr const char* kPathSeparators = "/";
#endif

inline bool endsWithSeparator(const std::string& path) {
    return !path.empty() && std::string_view(kPathSeparators).find(path.back()) != std::string_view::npos;
}

// What a path names, links followed. Pipe, Device and Socket are never read:
// opening a named pipe waits for a writer, and a device or socket has no end.
enum class PathKind { Missing, File, Folder, Pipe, Device, Socket };
PathKind pathKind(const std::string& path);

// Why `path` cannot be read as an input file ("... is a named pipe (FIFO)"),
// asked without opening it; empty when it is a regular file. `what` names the
// file expected ("a drawing document (.json) or a 3D model file").
std::string inputFileRefusal(const std::string& path, const std::string& what);

// Why an existing `path` may not be replaced by a written file ("... is a
// named pipe (FIFO)"), whatever --force says: writing a regular file in its
// place would take a device, pipe, socket or folder away from what uses it.
// Empty when it is missing or a regular file (or a link to one).
std::string outputKindRefusal(const std::string& path);

// The size in bytes; -1 when the file cannot be asked about.
long long fileSize(const std::string& path);
// The same of a file open as a stream.
long long fileSize(std::FILE* file);

// How many names (hard links) the file has; 0 when it cannot be asked.
long linkCount(const std::string& path);

// Enough of a file's identity to tell that it was replaced or written: the
// device (volume) and file number, the size and the modification time.
struct FileIdentity {
    bool exists = false;
    std::uint64_t device = 0;
    std::uint64_t index = 0;
    long long size = 0;
    std::int64_t modifiedSeconds = 0;
    long modifiedNanoseconds = 0;

    static FileIdentity of(const std::string& path);
    bool sameAs(const FileIdentity& other) const { return *this == other; }
    bool operator==(const FileIdentity&) const = default;
};

// The names of the plain files in `folder` (no folders, links or others);
// empty when it cannot be listed. Without memory for the listing it throws
// std::bad_alloc (std::filesystem's iterator would end the process there).
std::vector<std::string> plainFilesIn(const std::string& folder);
// The names of everything in `folder`, of any kind, as above.
std::vector<std::string> namesIn(const std::string& folder);
// The names of the folders in `folder` (not links to folders), as above.
std::vector<std::string> foldersIn(const std::string& folder);

// Whether files may be created in `folder`; when not, `why` says why.
bool mayWriteIn(const std::string& folder, std::string& why);

}  // namespace pelmora::tool::system
