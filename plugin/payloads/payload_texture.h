// Layouts of the `motionTexture` payload: named offsets and every non-zero
// default. The two layouts share only the file name array at their ends.
#pragma once

#include <cstdint>

#include "plugin/payloads/payload_codec.h"

namespace pelmora::texture_payload {

inline constexpr std::size_t kFileNameChars = 254;
inline constexpr std::uint32_t kFlagNoSize = 0x1u;  // textureFlags: size left at its default

namespace current {
inline constexpr std::int32_t kSize = 392;
inline constexpr std::int32_t kFormat = 4;

inline constexpr std::int32_t kCutoutColor = 0;   // colour
inline constexpr std::int32_t kDeltaCutout = 16;  // colour
                                                  // 32: colour (1, 1, 1, 1)
inline constexpr std::int32_t kPosition = 48;     // 2 floats
inline constexpr std::int32_t kSizeXY = 56;       // 2 floats
inline constexpr std::int32_t kKeepRatio = 68;
inline constexpr std::int32_t kRotate = 72;  // float, radians
inline constexpr std::int32_t kRepeatX = 76;
inline constexpr std::int32_t kRepeatY = 80;
inline constexpr std::int32_t kInvertX = 84;
inline constexpr std::int32_t kInvertY = 88;
inline constexpr std::int32_t kBump = 92;  // float
inline constexpr std::int32_t kApply = 96;
inline constexpr std::int32_t kCutout = 104;
inline constexpr std::int32_t kMixColor = 108;
// 112: float 1.0
inline constexpr std::int32_t kTextureFlags = 116;
inline constexpr std::int32_t kFileName = 136;  // char[256]

inline constexpr payload::FieldDefault kDefaults[] = {
    payload::f32(32, 1.0f),      payload::f32(36, 1.0f),      payload::f32(40, 1.0f),
    payload::f32(44, 1.0f),      payload::f32(kSizeXY, 1.0f), payload::f32(kSizeXY + 4, 1.0f),
    payload::i32(kKeepRatio, 1), payload::i32(kRepeatX, 1),   payload::i32(kRepeatY, 1),
    payload::i32(kApply, 17),    payload::f32(112, 1.0f),
};
static_assert(payload::fitsIn(kDefaults, kSize));
}  // namespace current

namespace legacy {
inline constexpr std::int32_t kSize = 388;
inline constexpr std::int32_t kFormat = 3;

inline constexpr std::int32_t kSizeXY = 16;  // 2 floats
inline constexpr std::int32_t kRepeatX = 36;
inline constexpr std::int32_t kRepeatY = 40;
inline constexpr std::int32_t kMappingType = 60;
inline constexpr std::int32_t kTextureFlags = 124;
inline constexpr std::int32_t kFileName = 132;  // char[256]

inline constexpr payload::FieldDefault kDefaults[] = {
    payload::i32(4, 1),        payload::f32(kSizeXY, 1.0f), payload::f32(kSizeXY + 4, 1.0f),
    payload::f32(24, 1.0f),    payload::f32(28, 1.0f),      payload::i32(kRepeatX, 1),
    payload::i32(kRepeatY, 1), payload::i32(56, 17),        payload::f32(104, 1.0f),
};
static_assert(payload::fitsIn(kDefaults, kSize));
}  // namespace legacy

}  // namespace pelmora::texture_payload
