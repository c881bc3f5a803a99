// The record layout of the import handoff, shared by its writer and reader:
// an 8-byte mark, the code page (int32), the placement (scale as a double,
// Y-up as a byte), then records each opened by one byte, all values in this
// machine's byte order (both ends are the same program on the same machine).
#pragma once

#include <cstddef>
#include <cstdint>

namespace pelmora::tool::handoff {

inline constexpr char kMagic[8] = {'P', 'L', 'M', 'H', 'O', 'F', 'F', '1'};

// mesh: int16 type, uint32 class, text name, uint32 points, polygons and
// corners, then float x/y/z per point, uint32 count per polygon, uint32 index
// per corner.
inline constexpr std::uint8_t kMeshRecord = 'M';
// object: int16 type, uint32 class, text name, uint32 properties, each an
// int32 number, a kind byte and its value (byte, int16, double or 3 doubles).
inline constexpr std::uint8_t kObjectRecord = 'O';
// view: perspective byte, rotation (9 doubles), origin (3), distance, focal, box (4).
inline constexpr std::uint8_t kViewRecord = 'V';
// warning: text.
inline constexpr std::uint8_t kWarningRecord = 'W';
// material: uint32 class, then 15 floats: diffuse, ambient, specular and
// emissive red/green/blue, opacity, shininess, refraction index.
inline constexpr std::uint8_t kMaterialRecord = 'T';
inline constexpr std::size_t kMaterialFloats = 15;
// classes: uint32 count, then each a text. Follows every object.
inline constexpr std::uint8_t kClassRecord = 'C';
// end: uint64 count of objects. Nothing follows it.
inline constexpr std::uint8_t kEndRecord = 'Z';

// A text is a uint32 length and that many bytes.
inline constexpr std::size_t kFlushBytes = std::size_t{1} << 20;

}  // namespace pelmora::tool::handoff
