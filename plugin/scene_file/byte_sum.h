// The byte-sum written before a payload: every byte as an unsigned value 0 to
// 255, added into a 32-bit integer that wraps.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pelmora {

std::uint32_t byteSum(const std::uint8_t* data, std::size_t size);

}  // namespace pelmora
