// The one flag word of a node in the legacy layout, gathered from the node
// record's two attribute bit sets; bits without a place in the word are dropped.
#pragma once

#include <cstdint>

namespace pelmora {

std::uint32_t legacyFlagWord(std::uint32_t attrA, std::uint32_t attrB);

}  // namespace pelmora
