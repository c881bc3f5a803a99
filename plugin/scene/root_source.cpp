#include "plugin/scene/root_source.h"

#include <algorithm>
#include <cstdint>

#include "plugin/collect/mesh_source.h"
#include "plugin/collect/scene_container.h"
#include "plugin/payloads/light_source.h"
#include "plugin/payloads/node_names.h"
#include "plugin/payloads/scene_counters.h"

namespace pelmora {
namespace {
constexpr std::int32_t kGroupRootType = 1;

// A light contributes its node count, and never a negative number of nodes.
std::int64_t nodesOf(const LightSource& light) { return light.nodeCount() > 0 ? light.nodeCount() : 0; }
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

unsigned RootSource::childCount() {
    camera.view = computeCameraView();
    countLightNodes();
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
