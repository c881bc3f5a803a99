#include "plugin/scene/root_source.h"

#include <cstdint>

#include "plugin/collect/mesh_source.h"
#include "plugin/collect/scene_container.h"
#include "plugin/items/light_source.h"
#include "plugin/items/node_names.h"
#include "plugin/items/scene_counters.h"

namespace pelmora {
namespace {
constexpr std::int32_t kGroupRootType = 1;

// A light contributes its node count, and never a negative number of nodes.
std::int64_t nodesOf(const LightSource& light) { return light.nodeCount() > 0 ? light.nodeCount() : 0; }
}  // namespace

void RootSource::describe(bool legacy, NodeRecord& node) {
    node.fill(legacy, kRootNodeId, kGroupRootType, node_names::kRootName);
}

unsigned RootSource::childCount() {
    camera.view = computeCameraView();
    std::uint64_t count = scene.meshes.size();
    if (camera.view.status == kCameraValid) count += 2;
    for (const auto& light : scene.lights) count += static_cast<std::uint64_t>(nodesOf(*light));
    return static_cast<unsigned>(count);
}

TreeSource* RootSource::child(unsigned index) {
    const std::int64_t cameraNodes = camera.view.status == kCameraValid ? 2 : 0;
    if (index < cameraNodes) {
        camera.role = static_cast<std::int32_t>(cameraNodes - index);
        return &camera;
    }
    std::int64_t a = static_cast<std::int64_t>(index) - cameraNodes;
    for (const auto& light : scene.lights) {
        a -= nodesOf(*light);
        if (a < 0) {
            light->setRole(static_cast<std::int32_t>(-a));
            return light.get();
        }
    }
    if (a < static_cast<std::int64_t>(scene.meshes.size())) return scene.meshes[static_cast<std::size_t>(a)].get();
    return nullptr;
}

}  // namespace pelmora
