#include "hostsim/document/drawing.h"

#include <cstring>

namespace pelmora::hostsim {

DocumentError::DocumentError(std::string path, const std::string& what)
    : std::runtime_error(path.empty() ? what : path + ": " + what), path_(std::move(path)) {}

std::uint32_t tagFromChars(std::string_view fourChars) {
    std::uint8_t bytes[4] = {0, 0, 0, 0};
    std::memcpy(bytes, fourChars.data(), fourChars.size() < 4 ? fourChars.size() : 4);
    // The tag is the uint32 whose bytes in memory are the characters in order.
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

std::string charsFromTag(std::uint32_t tag) {
    std::string chars(4, '\0');
    for (int i = 0; i < 4; ++i) chars[static_cast<std::size_t>(i)] = static_cast<char>((tag >> (8 * i)) & 0xFF);
    return chars;
}

}  // namespace pelmora::hostsim
