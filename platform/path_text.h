// Paths in the tool are UTF-8 texts. std::filesystem reads a plain text in
// the platform's narrow encoding, which on Windows is the ANSI code page, so
// the tool's paths go through pathOf and textOf, which say UTF-8. The
// plug-in, the QMX reader and the scene writer open files with the narrow
// calls, on Windows in the ANSI code page: narrowPath gives a path as they
// take it.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

namespace pelmora::tool::system {

inline std::filesystem::path pathOf(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string textOf(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// The path as the narrow file calls take it: the UTF-8 text itself on POSIX
// systems; on Windows the full path in the ANSI code page. False when that
// code page has no character for some of it.
bool narrowPath(const std::string& utf8, std::string& narrow);

// The other way: a path as the narrow file calls take it, in UTF-8 (on
// Windows read in the ANSI code page). False when it cannot be read so.
bool utf8FromNarrowPath(const std::string& narrow, std::string& utf8);

// What to tell a user whose path narrowPath refused.
inline std::string narrowPathRefusal(const std::string& utf8) {
    return utf8 +
           " cannot be opened by the QMX reader and writer: the system's ANSI code page has no character for "
           "part of its name; choose a path of other characters";
}

// The code page in which the plug-in's narrow file calls name files: the
// system's ANSI code page on Windows (1252 for Western systems); 0 on POSIX
// systems, where they take any bytes and so any host code page.
int fileNameCodePage();

// std::fopen for a UTF-8 path.
std::FILE* openFile(const std::string& utf8, const char* mode);

}  // namespace pelmora::tool::system
