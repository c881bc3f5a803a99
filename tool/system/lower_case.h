// Format ids and file extensions compared without regard to case. Both are
// ASCII, so only ASCII letters are folded.
#pragma once

#include <cctype>
#include <string>

#include "tool/system/path_text.h"

namespace pelmora::tool {

inline std::string asciiLower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The extension of a UTF-8 path with its dot, in lower case; empty without one.
inline std::string lowerExtension(const std::string& path) {
    return asciiLower(system::textOf(system::pathOf(path).extension()));
}

}  // namespace pelmora::tool
