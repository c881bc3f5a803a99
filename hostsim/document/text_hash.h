// A fast 64-bit hash of a text, to tell whether a file still holds the bytes
// it held when it was read. It guards against edits, not against an
// adversary: equal hashes of different texts are possible, only unlikely.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pelmora::hostsim {

// The hash taken piece by piece, as the text is read: each piece while it is
// still in the processor's cache.
class TextHasher {
public:
    static constexpr std::size_t kBlock = 32;

    // Every piece but the last must be a whole number of blocks long.
    void add(std::string_view piece);
    std::uint64_t finish() const;

private:
    std::uint64_t sum_[4] = {1, 2, 3, 4};
    std::uint64_t weighted_[4] = {};
    std::uint64_t tail_ = 0;
    std::uint64_t size_ = 0;
    bool ended_ = false;  // a piece that was not whole blocks came: it was the last
};

// The hash of the text in one piece.
std::uint64_t textHash(std::string_view text);

}  // namespace pelmora::hostsim
