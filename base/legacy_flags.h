// The legacy layout's one node flag word, folded from a node's two attribute
// bit sets and split back. Every one of the 32 word bits has a source bit,
// so splitting and folding again gives the same word.
#pragma once

#include <cstdint>

namespace pelmora::base {

struct NodeAttributes {
    std::uint32_t attrA = 0;
    std::uint32_t attrB = 0;
};

// Bits of attrA and attrB without a place in the word are dropped.
std::uint32_t foldLegacyFlags(NodeAttributes attributes);
NodeAttributes splitLegacyFlags(std::uint32_t word);

}  // namespace pelmora::base
