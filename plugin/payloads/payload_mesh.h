// Layouts of the mesh node payload: a header, the vertices (3 floats each),
// then the polygon lists (32-bit in the current layout, 16-bit in the legacy one).
#pragma once

#include <cstdint>

#include "plugin/payloads/payload_codec.h"

namespace pelmora::mesh_payload {

// Degrees to radians with the constant the renderer's files were made with.
inline constexpr float kDegreesToRadians = 0.0174532f;
inline constexpr std::int32_t kVertexBytes = 12;

namespace current {
inline constexpr std::int32_t kFormat = 2;
inline constexpr std::int32_t kHeaderSize = 40;  // vertices start here

inline constexpr std::int32_t kVertexCount = 0;
inline constexpr std::int32_t kPolygonCount = 4;
inline constexpr std::int32_t kIndexBytes = 8;
inline constexpr std::int32_t kSmoothingAngle = 16;  // float, radians
inline constexpr std::int32_t kMappingType = 20;
// 28: 12 bytes, left zero
inline constexpr payload::FieldDefault kDefaults[] = {
    payload::i32(24, -1),
};
static_assert(payload::fitsIn(kDefaults, kHeaderSize));
}  // namespace current

namespace legacy {
inline constexpr std::int32_t kFormat = 1;
inline constexpr std::int32_t kHeaderSize = 36;  // vertices start here

inline constexpr std::int32_t kVertexCount = 0;
inline constexpr std::int32_t kVertexBytesField = 4;  // 12 x vertexCount
inline constexpr std::int32_t kPolygonCount = 8;
inline constexpr std::int32_t kIndexBytes = 12;
inline constexpr std::int32_t kSmoothingAngle = 24;  // float, radians
inline constexpr std::int32_t kMappingType = 28;

inline constexpr payload::FieldDefault kDefaults[] = {
    payload::i32(32, -1),
};
static_assert(payload::fitsIn(kDefaults, kHeaderSize));

// A 16-bit list holds vertex indices, and polygon vertex counts, up to this
// value; a count of 65536 would wrap to 0 and shift every later polygon.
inline constexpr std::int32_t kMaxIndex = 65535;
inline constexpr std::int32_t kMaxPolygonVertices = 65535;
}  // namespace legacy

}  // namespace pelmora::mesh_payload
