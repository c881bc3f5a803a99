// The two process-wide counters of the scene tree: the number given to the
// next unnamed light and the id of the next mesh node without a table id.
#pragma once

#include <cstdint>

namespace pelmora {

// Node ids of the fixed nodes; meshes without a table id count on from 1003.
inline constexpr std::uint32_t kRootNodeId = 1000;
inline constexpr std::uint32_t kCameraNodeId = 1001;
inline constexpr std::uint32_t kCameraTargetNodeId = 1002;
inline constexpr std::int32_t kFirstMeshNodeId = 1003;

// Numbers unnamed lights 1, 2, 3 ... in the order they are written; 1 when
// the plug-in is loaded and never reset, so numbering goes on from export to export.
extern std::int32_t lightNameCounter;

// Id of the next mesh node that has no id from the id table; the write step
// sets it to kFirstMeshNodeId, each such mesh takes it and increases it.
extern std::int32_t nextMeshNodeId;

}  // namespace pelmora
