// The legacy layout's one node flag word and the two attribute bit sets it
// is folded from. The mapping covers all 32 bits of the word, so a word read
// from a file splits back into attrA/attrB that fold to the same word.
#pragma once

#include <cstdint>

namespace pelmora::qmxread {

struct NodeAttributes {
    std::uint32_t attrA = 0;
    std::uint32_t attrB = 0;
};

std::uint32_t foldLegacyFlags(NodeAttributes attributes);
NodeAttributes splitLegacyFlags(std::uint32_t word);

}  // namespace pelmora::qmxread
