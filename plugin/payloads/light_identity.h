// Stable light ids: each light keeps its id in a named auxiliary record on the
// light object, so that the id survives from one export to the next. Ids are
// even numbers from 1004 to 1998; 0 means none.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "plugin/host/host_abi.h"
#include "plugin/host/light_record.h"

namespace pelmora {

class LightSource;
using LightList = std::vector<std::unique_ptr<LightSource>>;

inline constexpr std::int32_t kHighestLightId = 1998;
inline constexpr std::int32_t kLowestLightId = 1004;

// Tag A: the value whose four bytes in memory are "rDgN".
std::uint32_t recordTagA();

// The object's record whose name equals `name` on at most 64 characters, or null.
HostHandle findNamedRecord(HostHandle object, const char* name);
// A new record of `size` bytes (at least 128) with tag A and `name` in bytes
// 64-127; null when the host makes none.
HostHandle createNamedRecord(HostHandle object, const char* name, std::int32_t size);
// The stored id; 0 when the object has no light record.
std::int32_t readLightId(HostHandle object);
// Stores `id`, creating the record when there is none; nothing is stored when
// the host makes no record. True when the id was stored.
bool writeLightId(HostHandle object, std::int32_t id);
// The first of 1998, 1996, ... 1004 that no light of the list holds; 0 when all are taken.
std::int32_t findFreeLightId(const LightList& lights);
// Gives every light without an id a free one, and of two lights holding the
// same id gives the earlier one a new id. Once per export, before writing.
// When no id is free the light is left as it is (never given 0): the write
// gives the nodes that still collide new ids (plugin/scene/node_ids.h).
void assignLightIds(const LightList& lights);

}  // namespace pelmora
