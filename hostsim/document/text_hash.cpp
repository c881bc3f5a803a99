#include "hostsim/document/text_hash.h"

#include <cassert>
#include <cstring>

namespace pelmora::hostsim {
namespace {

constexpr std::uint64_t kOdd1 = 0x9E3779B97F4A7C15ull;
constexpr std::uint64_t kOdd2 = 0xC2B2AE3D27D4EB4Full;

std::uint64_t mix(std::uint64_t h) {
    h ^= h >> 33;
    h *= kOdd2;
    return h ^ (h >> 29);
}

}  // namespace

void TextHasher::add(std::string_view piece) {
    assert(!ended_);
    // Fletcher's sums over eight-byte words, in four streams side by side:
    // `sum_` changes with any changed word, `weighted_` also with words moved.
    // Additions only, which the compiler vectorises.
    const char* p = piece.data();
    std::size_t n = piece.size();
    for (; n >= kBlock; p += kBlock, n -= kBlock) {
        for (int k = 0; k < 4; ++k) {
            std::uint64_t word = 0;
            std::memcpy(&word, p + 8 * k, sizeof word);
            sum_[k] += word ^ kOdd1;
            weighted_[k] += sum_[k];
        }
    }
    for (; n > 0; ++p, --n) tail_ = mix(tail_ ^ static_cast<unsigned char>(*p)) + 1;
    ended_ = piece.size() % kBlock != 0;
    size_ += piece.size();
}

std::uint64_t TextHasher::finish() const {
    std::uint64_t h = size_ * kOdd1;
    for (int k = 0; k < 4; ++k) h = mix(h ^ sum_[k]) + weighted_[k];
    return mix(h ^ tail_);
}

std::uint64_t textHash(std::string_view text) {
    TextHasher hasher;
    hasher.add(text);
    return hasher.finish();
}

}  // namespace pelmora::hostsim
