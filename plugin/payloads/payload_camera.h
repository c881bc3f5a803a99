// Layouts of the `motionCameraParameter` payload: a header with the view
// angle, then a settings block with the picture output names and options.
// Named offsets are from the start of the payload; every non-zero default is listed.
#pragma once

#include <cstdint>

#include "plugin/payloads/payload_codec.h"

namespace pelmora::camera_payload {

inline constexpr std::uint32_t kViewAngleBits = 0x3F490E56u;  // 0.785375
// The view angle written is the half angle of the view times this: 1.414 as
// the renderer expects it, not the square root of 2 in full.
inline constexpr double kViewAngleFactor = 1.414;
inline constexpr std::size_t kPictureNameChars = 254;
inline constexpr std::size_t kModuleNameChars = 126;  // writer and renderer names

// Current layout: 36-byte header, 824-byte settings block.
namespace current {
inline constexpr std::int32_t kSize = 860;
inline constexpr std::int32_t kFormat = 5;
inline constexpr std::int32_t kSettings = 36;

inline constexpr std::int32_t kViewAngle = 0;
inline constexpr std::int32_t kPictureName = kSettings + 0;     // char[256]
inline constexpr std::int32_t kWriterName = kSettings + 256;    // char[128]
inline constexpr std::int32_t kRendererName = kSettings + 384;  // char[128]
inline constexpr std::int32_t kOptionBits = kSettings + 640;
inline constexpr std::int32_t kPictureWidth = kSettings + 660;
inline constexpr std::int32_t kPictureHeight = kSettings + 664;
inline constexpr std::int32_t kCameraValue = kSettings + 672;

inline constexpr std::uint32_t kOptionBitsDefault = 0xB11054u;
inline constexpr std::uint32_t kBitSwitchA = 0x40u;
inline constexpr std::uint32_t kBitSwitchB = 0x08u;
inline constexpr std::uint32_t kBitSwitchC = 0x02u;

inline constexpr payload::FieldDefault kDefaults[] = {
    // header
    payload::f32bits(kViewAngle, kViewAngleBits),
    payload::f32(12, 0.05f),
    payload::f32(16, 30000.0f),
    // settings
    payload::i32(kOptionBits, static_cast<std::int32_t>(kOptionBitsDefault)),
    payload::i32(kSettings + 644, 64),
    payload::i32(kPictureWidth, 640),
    payload::i32(kPictureHeight, 480),
    payload::f32(kSettings + 668, 0.05f),
    payload::i32(kSettings + 676, 1),
    payload::i32(kSettings + 692, 100000),
    payload::f32(kSettings + 696, 0.02f),
    payload::i32(kSettings + 700, 4),
    payload::f32(kSettings + 704, 80.0f),
    payload::i32(kSettings + 708, 8),
    payload::f32(kSettings + 712, 0.08f),
    payload::i32(kSettings + 716, 3),
    payload::i32(kSettings + 720, 1024),
    payload::i32(kSettings + 724, 2),
    payload::f32(kSettings + 728, 0.2f),
    payload::i32(kSettings + 732, 2),
    payload::i32(kSettings + 736, 1024),
    payload::i32(kSettings + 740, 2),
    payload::f32(kSettings + 744, 0.02f),
    payload::i32(kSettings + 748, 5),
    payload::i32(kSettings + 752, 128),
    payload::i32(kSettings + 760, 12),
    payload::f32(kSettings + 768, 0.9f),
    payload::f32(kSettings + 772, 1.0f),
    payload::f32(kSettings + 780, 0.5f),
    payload::f32(kSettings + 788, 0.5f),
    payload::f32(kSettings + 792, 0.2f),
};
static_assert(payload::fitsIn(kDefaults, kSize));
}  // namespace current

// Legacy layout: 44-byte header, 908-byte settings block; the switches are
// plain int32 fields instead of option bits.
namespace legacy {
inline constexpr std::int32_t kSize = 952;
inline constexpr std::int32_t kFormat = 2;
inline constexpr std::int32_t kSettings = 44;

inline constexpr std::int32_t kViewAngle = 0;
inline constexpr std::int32_t kPictureName = kSettings + 0;     // char[256]
inline constexpr std::int32_t kWriterName = kSettings + 256;    // char[256]
inline constexpr std::int32_t kRendererName = kSettings + 512;  // char[256]
inline constexpr std::int32_t kSwitchA = kSettings + 776;
inline constexpr std::int32_t kPictureWidth = kSettings + 780;
inline constexpr std::int32_t kPictureHeight = kSettings + 784;
inline constexpr std::int32_t kSwitchC = kSettings + 812;
inline constexpr std::int32_t kSwitchB = kSettings + 820;
inline constexpr std::int32_t kCameraValue = kSettings + 828;

inline constexpr payload::FieldDefault kDefaults[] = {
    // header
    payload::f32bits(kViewAngle, kViewAngleBits),
    payload::f32(8, 0.05f),
    payload::f32(12, 30000.0f),
    payload::f32(16, 0.2f),
    payload::f32(20, 0.2f),
    payload::f32(24, 0.2f),
    payload::f32(28, 0.2f),
    // settings
    payload::i32(kSettings + 768, 1),
    payload::i32(kSwitchA, 1),
    payload::i32(kPictureWidth, 640),
    payload::i32(kPictureHeight, 480),
    payload::f32(kSettings + 792, 1.0f),
    payload::f32(kSettings + 800, 1.0f),
    payload::i32(kSettings + 804, 1),
    payload::f32(kSettings + 808, 0.01f),
    payload::i32(kSettings + 816, 1),
    payload::i32(kCameraValue, 1),
    payload::i32(kSettings + 844, 1),
    payload::i32(kSettings + 856, 1),
    payload::i32(kSettings + 868, 1),
    payload::i32(kSettings + 872, 1),
    payload::i32(kSettings + 892, 1),
    payload::i32(kSettings + 896, 64),
};
static_assert(payload::fitsIn(kDefaults, kSize));
}  // namespace legacy

}  // namespace pelmora::camera_payload
