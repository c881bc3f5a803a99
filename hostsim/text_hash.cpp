#include "hostsim/text_hash.h"

#include <cstring>

namespace pelmora::hostsim {
namespace {

constexpr std::uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
constexpr std::uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;

std::uint64_t rotate(std::uint64_t x, int bits) { return (x << bits) | (x >> (64 - bits)); }

std::uint64_t round(std::uint64_t lane, std::uint64_t word) { return rotate(lane + word * kPrime2, 31) * kPrime1; }

std::uint64_t word(const char* at) {
    std::uint64_t w = 0;
    std::memcpy(&w, at, sizeof w);
    return w;
}

}  // namespace

std::uint64_t textHash(std::string_view text) {
    // Four lanes of eight bytes each, independent of one another, so that the
    // processor overlaps their multiplications: a pass runs near memory speed.
    std::uint64_t lanes[4] = {kPrime1, kPrime2, ~kPrime1, ~kPrime2};
    const char* p = text.data();
    std::size_t n = text.size();
    for (; n >= 32; p += 32, n -= 32)
        for (int k = 0; k < 4; ++k) lanes[k] = round(lanes[k], word(p + 8 * k));
    std::uint64_t h = rotate(lanes[0], 1) + rotate(lanes[1], 7) + rotate(lanes[2], 12) + rotate(lanes[3], 18);
    h ^= text.size() * kPrime1;
    for (; n >= 8; p += 8, n -= 8) h = round(h, word(p));
    for (; n > 0; ++p, --n) h = round(h, static_cast<unsigned char>(*p));
    h ^= h >> 33;
    h *= kPrime2;
    return h ^ (h >> 29);
}

}  // namespace pelmora::hostsim
