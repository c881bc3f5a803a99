// Layout of the `motionTranslate` payload (both record layouts): the point
// x, y, z as three floats.
#pragma once

#include <cstdint>

namespace pelmora::translate_payload {

inline constexpr std::int32_t kSize = 12;
inline constexpr std::int32_t kFormat = 1;
inline constexpr std::int32_t kX = 0;
inline constexpr std::int32_t kY = 4;
inline constexpr std::int32_t kZ = 8;

}  // namespace pelmora::translate_payload
