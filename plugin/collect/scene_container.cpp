#include "plugin/collect/scene_container.h"

#include "plugin/collect/mesh_source.h"
#include "plugin/items/light_source.h"
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

MeshSource* SceneContainer::findMesh(std::int32_t classIndex) {
    auto known = meshByClass_.find(classIndex);
    if (known != meshByClass_.end() && known->second < meshes.size() && meshes[known->second] &&
        meshes[known->second]->classIndex() == classIndex) {
        return meshes[known->second].get();
    }
    // Not remembered (or the list was changed from outside): the first match in order.
    for (std::size_t i = 0; i < meshes.size(); ++i) {
        if (meshes[i] && meshes[i]->classIndex() == classIndex) {
            meshByClass_[classIndex] = i;
            return meshes[i].get();
        }
    }
    return nullptr;
}

void SceneContainer::rememberMesh(std::int32_t classIndex, std::size_t position) {
    meshByClass_.emplace(classIndex, position);
}

}  // namespace pelmora
