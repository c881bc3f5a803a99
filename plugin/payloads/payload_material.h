// Layouts of the `motionMaterial` payload: six colours (red, green, blue,
// fourth component) and the optical values, with every non-zero default.
#pragma once

#include <cstdint>

#include "plugin/payloads/payload_codec.h"

namespace pelmora::material_payload {

// Colour offsets are the same in both layouts.
inline constexpr std::int32_t kDiffuse = 0;
inline constexpr std::int32_t kSpecular = 16;
inline constexpr std::int32_t kTransparent = 32;
inline constexpr std::int32_t kReflexion = 48;
inline constexpr std::int32_t kAmbient = 64;
inline constexpr std::int32_t kEmissive = 80;
inline constexpr std::int32_t kColourBytes = 16;

// The ambient default is this share of the default diffuse colour.
inline constexpr float kAmbientShare = 0.3f;

namespace current {
inline constexpr std::int32_t kSize = 164;
inline constexpr std::int32_t kFormat = 3;
// 96: 4 floats, zero
inline constexpr std::int32_t kSpecularPower = 112;
inline constexpr std::int32_t kRefractionIndex = 116;
inline constexpr std::int32_t kMaxReflexionDistance = 120;
inline constexpr std::int32_t kMaxTransparenceDistance = 124;

inline constexpr float kDefaultDiffuse[4] = {0.9f, 0.9f, 0.9f, 1.0f};
inline constexpr float kDefaultSpecular[4] = {0.8f, 0.8f, 0.8f, 0.8f};

// Besides the colours above and the ambient derived from kDefaultDiffuse.
inline constexpr payload::FieldDefault kDefaults[] = {
    payload::f32(kSpecularPower, 10.0f),
    payload::f32(kRefractionIndex, 1.0f),
    payload::f32(128, 1.0f),
    payload::i32(140, 19),
};
static_assert(payload::fitsIn(kDefaults, kSize));
}  // namespace current

namespace legacy {
inline constexpr std::int32_t kSize = 116;
inline constexpr std::int32_t kFormat = 2;
inline constexpr std::int32_t kSpecularPower = 96;
inline constexpr std::int32_t kRefractionIndex = 100;
inline constexpr std::int32_t kMaxReflexionDistance = 104;
inline constexpr std::int32_t kMaxTransparenceDistance = 108;

inline constexpr float kDefaultDiffuse[4] = {0.9f, 0.9f, 0.9f, 0.9f};
inline constexpr float kDefaultSpecular[4] = {0.8f, 0.8f, 0.8f, 0.8f};

inline constexpr payload::FieldDefault kDefaults[] = {
    payload::f32(kSpecularPower, 10.0f),
    payload::f32(kRefractionIndex, 1.0f),
    payload::i32(112, 19),
};
static_assert(payload::fitsIn(kDefaults, kSize));
}  // namespace legacy

}  // namespace pelmora::material_payload
