// Node ids unique in the scene file. The export's rules give the root 1000,
// the camera 1001 and its target 1002, a light with id L the nodes L (its
// target) and L + 1, and a mesh its id table entry or the next number of a
// counter; those ids collide when more than 498 lights find no free light id,
// when the counter runs into the light ids, or when the id table names an id
// another node has. A node keeps its id unless a node before it in the file
// holds it; such a node takes the lowest id from kFirstMovedNodeId on that no
// node of the file holds, so the ids that did not collide stay as they were.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace pelmora {

// Above every id the rules hand out on their own (lights end at 1999), so a
// moved node never takes an id a light or the counter will claim next time.
inline constexpr std::uint32_t kFirstMovedNodeId = 2000;

// The ids the rules give the nodes of one file, in the file's order.
struct NodeIdRules {
    bool camera = false;                  // the camera (1001) and its target (1002) are written
    std::vector<std::int32_t> lightIds;   // L of each light, in the light list's order
    std::vector<bool> lightTargets;       // per light: its target node L is written (else only L + 1)
    std::vector<std::int32_t> meshIds;    // the table id of each mesh; 0 or less: none
    std::uint32_t firstCounterId = 1003;  // the id of the first mesh without a table id
};

// The new ids of the nodes that move; empty where a node keeps its id.
struct NodeIdMoves {
    std::vector<std::optional<std::int32_t>> lights;  // the new L: the nodes L and L + 1
    std::vector<std::optional<std::uint32_t>> meshes;
    std::size_t count = 0;
};

// A light holds L + 1, and L when it writes its target node. A light whose L
// is 0 or less has no id (every light past the 498 light ids, or one the host
// keeps no record for) and moves as a colliding one does. A moved light takes
// an even L, as the light ids pair them, whose nodes are free; it is then held
// as it will be when its record gives it that id, so that an unchanged drawing
// exported again gives every node the same id.
NodeIdMoves uniqueNodeIds(const NodeIdRules& rules);

}  // namespace pelmora
