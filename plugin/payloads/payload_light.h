// Layout of the `motionLightParameter` payload (the same 72 bytes in both
// record layouts): named offsets and every non-zero default.
#pragma once

#include <cstdint>

#include "plugin/payloads/payload_codec.h"

namespace pelmora::light_payload {

inline constexpr std::int32_t kSize = 72;
// The intensity written is the host's value times this.
inline constexpr double kIntensityScale = 1.3333333;
inline constexpr std::int32_t kFormat = 1;  // dataFormat in both layouts

inline constexpr std::int32_t kLightType = 0;   // int32, 1 to 3
inline constexpr std::int32_t kLightFlag = 4;   // int32, set afterwards by the light source
inline constexpr std::int32_t kLightB = 8;      // int32
inline constexpr std::int32_t kIntensity = 12;  // float
inline constexpr std::int32_t kConeA = 16;      // float
inline constexpr std::int32_t kConeB = 20;      // float
inline constexpr std::int32_t kLightC = 24;     // float
inline constexpr std::int32_t kLightD = 28;     // int32
inline constexpr std::int32_t kAxis = 32;       // 3 floats
inline constexpr std::int32_t kLightMode = 44;  // int32
inline constexpr std::int32_t kLightE = 48;     // float
                                                // 52: 4 int32, zero
inline constexpr std::int32_t kLightF = 68;     // float

inline constexpr std::int32_t kDefaultLightType = 2;

inline constexpr payload::FieldDefault kDefaults[] = {
    payload::i32(kLightType, kDefaultLightType),
    payload::i32(kLightFlag, 1),
    payload::f32(kIntensity, 0.85f),
    payload::f32bits(kConeA, 0x3F490E56u),  // 0.785375
    payload::f32(kLightC, 1.0f),
    payload::f32(kAxis + 4, 1.0f),  // axis (0, 1, 0)
    payload::i32(kLightMode, 1),
    payload::f32(kLightE, 0.5f),
    payload::f32(kLightF, 0.1f),
};
static_assert(payload::fitsIn(kDefaults, kSize));

// The legacy layout knows two intensities only.
inline constexpr float kLegacyIntensityHigh = 1.3f;
inline constexpr float kLegacyIntensityLow = 1.0f;

}  // namespace pelmora::light_payload
