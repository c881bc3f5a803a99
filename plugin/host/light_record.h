// The record the plug-in keeps on a light object in the host's drawing:
// bytes 0-63 belong to the host, 64-127 hold the NUL-padded name, 128-131
// the id (int32, little-endian). The emulated host checks drawings against
// the same layout.
#pragma once

#include <cstdint>

namespace pelmora::light_record {

inline constexpr int kNameOffset = 64;
inline constexpr int kNameLength = 64;
inline constexpr int kIdOffset = 128;
inline constexpr std::int32_t kSize = 132;
inline constexpr char kName[] = "Pelmora-Light";
// Tag B, asked for every record after the first in a search.
inline constexpr std::uint32_t kTagB = 1379157095u;

}  // namespace pelmora::light_record
