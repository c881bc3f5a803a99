// The legacy layout's node flag word, folded from attrA/attrB and split back;
// the mapping covers all 32 bits, so split then fold gives the same word.
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
