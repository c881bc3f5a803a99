// Records the plug-in reads at fixed offsets without knowing their size (no
// host service gives it): the host must not hand over one that is too short.
#pragma once

#include "hostsim/drawing.h"

namespace pelmora::hostsim {

// Size of the plug-in's light identity record: a host part, a 64-byte name
// and the id at bytes 128 to 131.
inline constexpr std::size_t kLightRecordSize = 132;

// Throws DocumentError with the JSON path of the first record that the
// plug-in's search for its light record would read past the end of: one with
// the light record tag ("rDgN") shorter than 132 bytes, or any record after
// such a record on the same object (the search goes on through every later
// record) shorter than that.
void checkRecordSizes(const Drawing& drawing);

}  // namespace pelmora::hostsim
