// File names between the file system (bytes as they stand, UTF-8 on Linux)
// and the host's 8-bit code page, in which Windows' ANSI file calls give and
// take them. The runner states the code page (PelmoraPortableHooks); without
// one, names pass unchanged.
#pragma once

#include <optional>
#include <string>

namespace pelmora::platform {

// The file system's name in the host's code page; none when the code page
// cannot hold it (such a file cannot be named by the host at all).
std::optional<std::string> hostFileName(const std::string& fileSystemName);

// The last component of a path whose folder part is the file system's own
// (as the host was given it) and whose name came from hostFileName.
std::string fileSystemPath(const std::string& path);

}  // namespace pelmora::platform
