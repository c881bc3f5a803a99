#include "plugin/payloads/scene_counters.h"

namespace pelmora {

std::int32_t lightNameCounter = 1;
std::int32_t nextMeshNodeId = kFirstMeshNodeId;

}  // namespace pelmora
