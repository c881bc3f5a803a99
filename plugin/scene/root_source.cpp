#include "plugin/scene/root_source.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <unordered_map>

#include "plugin/collect/mesh_source.h"
#include "plugin/collect/scene_container.h"
#include "plugin/payloads/light_identity.h"
#include "plugin/payloads/light_source.h"
#include "plugin/payloads/node_names.h"
#include "plugin/payloads/scene_counters.h"
#include "plugin/platform/ui.h"
#include "plugin/scene/node_ids.h"

namespace pelmora {
namespace {
constexpr std::int32_t kGroupRootType = 1;

// A light contributes its node count, and never a negative number of nodes.
std::int64_t nodesOf(const LightSource& light) { return light.nodeCount() > 0 ? light.nodeCount() : 0; }

std::string movedIdsMessage(std::size_t count, const std::string& first) {
    return "Pelmora: " + std::to_string(count) +
           (count == 1 ? " node of the scene had an id another node holds; it took"
                       : " nodes of the scene had ids other nodes hold; each took") +
           " a new id that no other node of the file holds, from " + std::to_string(kFirstMovedNodeId) +
           " on (the first: " + first + "). A light keeps its new id in the drawing.";
}

std::string lightMove(std::int32_t from, std::int32_t to) {
    return "a light, " + std::to_string(static_cast<std::uint32_t>(from)) + " and " +
           std::to_string(static_cast<std::uint32_t>(from) + 1u) + " to " + std::to_string(to) + " and " +
           std::to_string(to + 1);
}

std::string meshMove(std::uint32_t from, std::uint32_t to) {
    return "a mesh, " + std::to_string(from) + " to " + std::to_string(to);
}
}  // namespace

void RootSource::describe(bool legacy, NodeRecord& node) {
    node.fill(legacy, kRootNodeId, kGroupRootType, node_names::kRootName);
}

void RootSource::countLightNodes() {
    lightEnds_.clear();
    lightEnds_.reserve(scene.lights.size());
    std::int64_t sum = 0;
    for (const auto& light : scene.lights) lightEnds_.push_back(sum += nodesOf(*light));
}

void RootSource::makeNodeIdsUnique() {
    NodeIdRules rules;
    rules.camera = camera.view.status == kCameraValid;
    rules.firstCounterId = static_cast<std::uint32_t>(nextMeshNodeId);
    std::vector<LightSource*> written;  // the lights that write a node
    std::unordered_map<HostHandle, int> listed;
    for (const auto& light : scene.lights) {
        if (nodesOf(*light) == 0) continue;
        written.push_back(light.get());
        rules.lightIds.push_back(readLightId(light->object()));
        rules.lightTargets.push_back(light->nodeCount() >= 2);
        ++listed[light->object()];
    }
    for (const auto& mesh : scene.meshes) rules.meshIds.push_back(mesh->tableId());
    const NodeIdMoves moves = uniqueNodeIds(rules);

    std::string first;
    for (std::size_t i = 0; i < written.size(); ++i) {
        written[i]->setMovedId(moves.lights[i]);
        if (!moves.lights[i]) continue;
        if (first.empty()) first = lightMove(rules.lightIds[i], *moves.lights[i]);
        // Kept in the drawing, so that the light has it next time; a light
        // listed twice reads one record, which stays its first place's id.
        if (listed[written[i]->object()] == 1) writeLightId(written[i]->object(), *moves.lights[i]);
    }
    std::uint32_t counter = rules.firstCounterId;
    for (std::size_t m = 0; m < scene.meshes.size(); ++m) {
        scene.meshes[m]->setMovedId(moves.meshes[m]);
        const std::uint32_t ruled = rules.meshIds[m] > 0 ? static_cast<std::uint32_t>(rules.meshIds[m]) : counter++;
        if (moves.meshes[m] && first.empty()) first = meshMove(ruled, *moves.meshes[m]);
    }
    if (moves.count == 0 || warnedOfMovedIds_) return;
    warnedOfMovedIds_ = true;
    platform::showMessageBox(movedIdsMessage(moves.count, first));
}

unsigned RootSource::childCount() {
    camera.view = computeCameraView();
    countLightNodes();
    makeNodeIdsUnique();
    std::uint64_t count = scene.meshes.size();
    if (camera.view.status == kCameraValid) count += 2;
    if (!lightEnds_.empty()) count += static_cast<std::uint64_t>(lightEnds_.back());
    return static_cast<unsigned>(count);
}

TreeSource* RootSource::child(unsigned index) {
    const std::int64_t cameraNodes = camera.view.status == kCameraValid ? 2 : 0;
    if (index < cameraNodes) {
        camera.role = static_cast<std::int32_t>(cameraNodes - index);
        return &camera;
    }
    if (lightEnds_.size() != scene.lights.size()) countLightNodes();
    const std::int64_t a = static_cast<std::int64_t>(index) - cameraNodes;
    // The first light whose nodes reach past `a`; its role counts down from its node count.
    const auto end = std::upper_bound(lightEnds_.begin(), lightEnds_.end(), a);
    if (end != lightEnds_.end()) {
        LightSource& light = *scene.lights[static_cast<std::size_t>(end - lightEnds_.begin())];
        light.setRole(static_cast<std::int32_t>(*end - a));
        return &light;
    }
    const std::int64_t m = a - (lightEnds_.empty() ? 0 : lightEnds_.back());
    if (m < static_cast<std::int64_t>(scene.meshes.size())) return scene.meshes[static_cast<std::size_t>(m)].get();
    return nullptr;
}

}  // namespace pelmora
