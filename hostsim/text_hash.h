// A fast 64-bit hash of a text, to tell whether a file still holds the bytes
// it held when it was read. It guards against edits, not against an
// adversary: equal hashes of different texts are possible, only unlikely.
#pragma once

#include <cstdint>
#include <string_view>

namespace pelmora::hostsim {

std::uint64_t textHash(std::string_view text);

}  // namespace pelmora::hostsim
