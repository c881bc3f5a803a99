// Records the plug-in reads at fixed offsets without knowing their size (no
// host service gives it): the host must not hand over one that is too short.
#pragma once

#include "hostsim/document/drawing.h"

namespace pelmora::hostsim {

// Size of the plug-in's light identity record: a host part, a 64-byte name
// and the id at bytes 128 to 131.
inline constexpr std::size_t kLightRecordSize = 132;

// Throws DocumentError with the JSON path of the first record that the
// plug-in's search for its light record would read past the end of. On a
// light object the search starts at the first record with the light record
// tag ("rDgN") and visits every record from there, whatever its tag, until
// one whose name (bytes 64 on) is the light record's: each record it visits
// needs the bytes its comparison reads (byte 64 up to the first byte that
// differs from "Pelmora-Light" and its NUL), the one it stops at
// kLightRecordSize. Records before the first light-tagged one, after the one
// it stops at, and on other objects are never read and may have any size.
void checkRecordSizes(const Drawing& drawing);

}  // namespace pelmora::hostsim
