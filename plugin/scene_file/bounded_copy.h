// The one copy into fixed character arrays: clears the first `limit` bytes and
// copies at most `limit - 1` characters, so a stored text never fills its array.
#pragma once

#include <cstddef>
#include <cstring>

namespace pelmora {

inline void boundedCopy(char* dest, const char* src, std::size_t limit) {
    std::memset(dest, 0, limit);
    if (src == nullptr || limit < 2) return;
    std::size_t n = 0;
    while (n + 1 < limit && src[n] != '\0') ++n;
    std::memcpy(dest, src, n);
}

// Record strings: arrays of 256 bytes filled with the limit 255 (at most 254 characters).
inline constexpr std::size_t kNameArray = 256;
inline constexpr std::size_t kNameLimit = 255;

}  // namespace pelmora
