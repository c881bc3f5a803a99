// Names compared without regard to the case of ASCII letters: format ids,
// file extensions, the comparisons Windows' file calls make. Only ASCII
// letters are folded; every other byte (UTF-8 included) stays as it is.
#pragma once

#include <string>
#include <string_view>

namespace pelmora::base {

std::string asciiLower(std::string text);

// The extension of the path's last component, with its dot, in lower case;
// empty when it has none (also for "name", ".hidden", "." and "..").
std::string lowerExtension(std::string_view path);

// True when `name` ends in "." + extension with at least one character
// before the dot, the extension compared without case.
bool hasExtension(std::string_view name, std::string_view extension);

}  // namespace pelmora::base
