#include "plugin/scene/node_ids.h"

#include <unordered_set>

#include "plugin/payloads/scene_counters.h"

namespace pelmora {
namespace {

class HeldIds {
public:
    explicit HeldIds(std::size_t expected) { held_.reserve(expected); }

    bool holds(std::uint32_t id) const { return held_.count(id) != 0; }
    // Takes `id` unless it is held already.
    bool take(std::uint32_t id) { return held_.insert(id).second; }
    bool takePair(std::uint32_t id) {
        if (holds(id) || holds(id + 1u)) return false;
        held_.insert(id);
        held_.insert(id + 1u);
        return true;
    }
    // The lowest free id (even L with L and L + 1 free, for a pair) from
    // `from` on; every id taken later lies above it, so `from` may start the
    // next search.
    std::uint32_t freeFrom(std::uint32_t& from, bool pair) const {
        while (pair ? holds(from) || holds(from + 1u) : holds(from)) from += pair ? 2u : 1u;
        return from;
    }

private:
    std::unordered_set<std::uint32_t> held_;
};

// The light's nodes as the light source writes them: L and L + 1, unsigned.
std::uint32_t targetIdOf(std::int32_t lightId) { return static_cast<std::uint32_t>(lightId); }

}  // namespace

NodeIdMoves uniqueNodeIds(const NodeIdRules& rules) {
    NodeIdMoves moves;
    moves.lights.resize(rules.lightIds.size());
    moves.meshes.resize(rules.meshIds.size());
    HeldIds held(3 + 2 * rules.lightIds.size() + rules.meshIds.size());
    held.take(kRootNodeId);
    if (rules.camera) {
        held.take(kCameraTargetNodeId);
        held.take(kCameraNodeId);
    }
    // First what keeps its id, in the file's order, so that a moved node
    // avoids the ids of the nodes after it too.
    std::vector<bool> lightMoves(rules.lightIds.size()), meshMoves(rules.meshIds.size());
    for (std::size_t i = 0; i < rules.lightIds.size(); ++i)
        lightMoves[i] = rules.lightIds[i] <= 0 || !held.takePair(targetIdOf(rules.lightIds[i]));
    std::uint32_t counter = rules.firstCounterId;
    for (std::size_t m = 0; m < rules.meshIds.size(); ++m) {
        const std::int32_t tableId = rules.meshIds[m];
        meshMoves[m] = !held.take(tableId > 0 ? static_cast<std::uint32_t>(tableId) : counter++);
    }
    std::uint32_t nextPair = kFirstMovedNodeId, nextSingle = kFirstMovedNodeId;
    for (std::size_t i = 0; i < lightMoves.size(); ++i) {
        if (!lightMoves[i]) continue;
        const std::uint32_t id = held.freeFrom(nextPair, true);
        held.takePair(id);
        moves.lights[i] = static_cast<std::int32_t>(id);
        ++moves.count;
    }
    for (std::size_t m = 0; m < meshMoves.size(); ++m) {
        if (!meshMoves[m]) continue;
        moves.meshes[m] = held.freeFrom(nextSingle, false);
        held.take(*moves.meshes[m]);
        ++moves.count;
    }
    return moves;
}

}  // namespace pelmora
