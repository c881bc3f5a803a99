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
    // Takes `id` + 1, and `id` itself when `both`, unless one of them is held already.
    bool takePair(std::uint32_t id, bool both) {
        if ((both && holds(id)) || holds(id + 1u)) return false;
        if (both) held_.insert(id);
        held_.insert(id + 1u);
        return true;
    }
    // From `from` on (and `from` moved there): the lowest free id, or for a
    // light the lowest even L whose ids it writes (L + 1, and L when `both`)
    // are free. Ids are only ever taken, so the next search of the same kind
    // may start where this one ended.
    std::uint32_t freeId(std::uint32_t& from) const {
        while (holds(from)) ++from;
        return from;
    }
    std::uint32_t freeLightId(std::uint32_t& from, bool both) const {
        while ((both && holds(from)) || holds(from + 1u)) from += 2u;
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
    const auto writesTarget = [&rules](std::size_t i) {
        return i >= rules.lightTargets.size() || rules.lightTargets[i];
    };
    for (std::size_t i = 0; i < rules.lightIds.size(); ++i)
        lightMoves[i] = rules.lightIds[i] <= 0 || !held.takePair(targetIdOf(rules.lightIds[i]), writesTarget(i));
    std::uint32_t counter = rules.firstCounterId;
    for (std::size_t m = 0; m < rules.meshIds.size(); ++m) {
        const std::int32_t tableId = rules.meshIds[m];
        meshMoves[m] = !held.take(tableId > 0 ? static_cast<std::uint32_t>(tableId) : counter++);
    }
    // Then the moved ones, in the same order. A light moves as it would be
    // kept the next time (its new id in its record): by the ids it writes.
    std::uint32_t nextPair = kFirstMovedNodeId, nextLightNode = kFirstMovedNodeId, nextSingle = kFirstMovedNodeId;
    for (std::size_t i = 0; i < lightMoves.size(); ++i) {
        if (!lightMoves[i]) continue;
        const bool both = writesTarget(i);
        const std::uint32_t id = held.freeLightId(both ? nextPair : nextLightNode, both);
        held.takePair(id, both);
        moves.lights[i] = static_cast<std::int32_t>(id);
        ++moves.count;
    }
    for (std::size_t m = 0; m < meshMoves.size(); ++m) {
        if (!meshMoves[m]) continue;
        moves.meshes[m] = held.freeId(nextSingle);
        held.take(*moves.meshes[m]);
        ++moves.count;
    }
    return moves;
}

}  // namespace pelmora
