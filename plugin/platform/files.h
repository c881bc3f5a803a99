// File-system calls of the plug-in that the standard library does not cover
// the same way on every platform.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace pelmora::platform {

// The platform's path separator, as a one-character text.
const char* pathSeparator();

// The longest path (in bytes, without the terminating NUL) the platform's
// file calls accept.
std::size_t pathLengthLimit();

// Names (without folder) of the files in `folder` (which ends with the
// separator) whose name has at least one character before `.ext`, in the
// order the file system gives them. A missing folder gives none.
std::vector<std::string> findFiles(const std::string& folder, const std::string& extension);

// Reads a whole file in one request; false when it cannot be opened or read.
bool readWholeFile(const std::string& path, std::string& out);

// Creates one directory; false on failure (an existing one is a failure too,
// which callers ignore).
bool createDirectory(const std::string& path);

// Moves `from` over `to`, replacing it in one step where the platform can.
bool replaceFile(const std::string& from, const std::string& to);
bool removeFile(const std::string& path);
bool fileExists(const std::string& path);

}  // namespace pelmora::platform
