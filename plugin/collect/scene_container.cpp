#include "plugin/collect/scene_container.h"

#include "plugin/collect/mesh_source.h"
#include "plugin/payloads/light_source.h"
#include "plugin/platform/ui.h"

namespace pelmora {
namespace {
constexpr long kMsPerQuarter = 250;
constexpr std::int32_t kFrameCount = 4;
}  // namespace

SceneContainer::SceneContainer(const TemplateLibrary* lib) : library(lib) { platform::loadBusyCursors(); }

SceneContainer::~SceneContainer() {
    for (auto& light : lights) light.reset();
    for (auto& mesh : meshes) mesh.reset();
    lights.clear();
    meshes.clear();
}

void SceneContainer::tick() {
    // Unsigned step: the count wraps instead of overflowing in a very long pass.
    tickCount = static_cast<std::int32_t>(static_cast<std::uint32_t>(tickCount) + 1u);
    if ((tickCount & 0xFF) != 0) return;
    const long quarter = platform::processClockMs() / kMsPerQuarter;
    if (quarter <= lastQuarter) return;
    lastQuarter = static_cast<std::int32_t>(quarter);
    platform::showBusyCursor(cursorIndex, tickCount);
    cursorIndex = (cursorIndex + 1) % kFrameCount;
}

bool SceneContainer::holds(std::size_t position, std::int32_t classIndex) const {
    return position < meshes.size() && meshes[position] && meshes[position]->classIndex() == classIndex;
}

void SceneContainer::indexNewMeshes() {
    for (; indexed_ < meshes.size(); ++indexed_) {
        // The first mesh of a class keeps its entry: emplace leaves a present key alone.
        if (meshes[indexed_]) meshByClass_.emplace(meshes[indexed_]->classIndex(), indexed_);
    }
}

void SceneContainer::reindexMeshes() {
    meshByClass_.clear();
    indexed_ = 0;
    indexNewMeshes();
}

MeshSource* SceneContainer::findMesh(std::int32_t classIndex) {
    if (indexed_ > meshes.size()) {
        reindexMeshes();
    } else {
        indexNewMeshes();
    }
    auto known = meshByClass_.find(classIndex);
    if (known != meshByClass_.end() && !holds(known->second, classIndex)) {
        // A remembered position lost its class: the list was changed other than by appending.
        reindexMeshes();
        known = meshByClass_.find(classIndex);
    }
    return known == meshByClass_.end() ? nullptr : meshes[known->second].get();
}

}  // namespace pelmora
