#include "plugin/collect/mesh_source.h"

#include <algorithm>
#include <memory>
#include <string>

#include "plugin/collect/vertex_merger.h"
#include "plugin/host/services.h"
#include "plugin/payloads/material_items.h"
#include "plugin/payloads/motion_builders.h"
#include "plugin/payloads/scene_counters.h"
#include "plugin/templates/template_library.h"

namespace pelmora {
namespace {

// Smoothing angle every mesh is written with, degrees.
constexpr float kSmoothingDegrees = 30.0f;

std::string classNameOf(std::int32_t classIndex) {
    HostName name = {};
    host::className(classIndex, name);
    return std::string(reinterpret_cast<const char*>(name + 1), name[0]);
}

}  // namespace

void MeshSource::init(std::int32_t classIndex, const TemplateLibrary* library) {
    classIndex_ = classIndex;
    if (library == nullptr) return;
    materialTemplate_ = library->findTemplate(classNameOf(classIndex));
    if (auto id = library->findId(classIndex)) tableId_ = *id;
}

void MeshSource::beginPolygon(std::int32_t n) {
    indexList_.push_back(n);
    ++polygonCount_;
}

void MeshSource::addVertex(const Vec3f& v) {
    indexList_.push_back(vertices_.count());
    vertices_.append(v);
}

void MeshSource::endPolygon() { indexList_.push_back(0); }

void MeshSource::appendMerged(const VertexMerger& merger) {
    const std::int32_t base = vertices_.count();
    const std::int32_t added = merger.vertexCount();
    for (std::int32_t k = 0; k < added; ++k) vertices_.put(base + k, merger.vertex(k));
    vertices_.grow(added);
    polygonCount_ += merger.polygonCount();

    const auto& list = merger.polygonList();
    // Room for the whole object at once, growing geometrically: an exact reserve
    // per object would copy the list again for every object of the class.
    const std::size_t needed = indexList_.size() + list.size() + static_cast<std::size_t>(merger.polygonCount());
    if (needed > indexList_.capacity()) indexList_.reserve(std::max(needed, 2 * indexList_.capacity()));
    std::size_t at = 0;
    while (at < list.size()) {
        const std::int32_t n = list[at++];
        indexList_.push_back(n);
        for (std::int32_t i = 0; i < n && at < list.size(); ++i) indexList_.push_back(base + list[at++]);
        indexList_.push_back(0);
    }
}

void MeshSource::describe(bool legacy, NodeRecord& node) {
    const std::string name = classNameOf(classIndex_);

    // The builder copies what it keeps. The index list is already one block and
    // is handed over as it stands; only the paged vertices need a flat copy,
    // which lives just while the node is built.
    static const std::int32_t kNoIndices[1] = {0};
    const std::size_t listLength = indexList_.size();
    const std::int32_t* indices = listLength > 0 ? indexList_.data() : kNoIndices;
    const std::int32_t vertexCount = vertices_.count();
    auto flat = std::make_unique<float[]>(static_cast<std::size_t>(vertexCount) * 3);
    vertices_.copyTo(flat.get());

    std::uint32_t id;
    if (tableId_ > 0) {
        id = static_cast<std::uint32_t>(tableId_);
    } else {
        id = static_cast<std::uint32_t>(nextMeshNodeId);
        ++nextMeshNodeId;
    }
    if (movedId_) id = *movedId_;

    std::int32_t mappingType = 0;
    if (materialTemplate_ != nullptr && !materialTemplate_->textures.empty() &&
        materialTemplate_->textures.front().mappingtype.given) {
        mappingType = materialTemplate_->textures.front().mappingtype.value;
    }

    requireBuilt(fillMeshNode(node, legacy, id, name.c_str(), vertexCount, flat.get(), polygonCount_,
                              static_cast<std::int32_t>(listLength * sizeof(std::int32_t)), indices, mappingType,
                              kSmoothingDegrees));
}

unsigned MeshSource::motionCount() {
    if (materialTemplate_ == nullptr) return 0;
    return (materialTemplate_->material.hasMaterial ? 1u : 0u) +
           static_cast<unsigned>(materialTemplate_->textures.size());
}

bool MeshSource::motion(unsigned index, bool legacy, MotionRecord& record) {
    if (materialTemplate_ == nullptr) return false;
    const MaterialParams& material = materialTemplate_->material;
    if (index == 0 && material.hasMaterial) {
        if (material.kind == 1) {
            const MaterialLayer& layer = material.layers[0];
            const Colour4 diffuse{{layer.diffuse.red, layer.diffuse.green, layer.diffuse.blue, layer.diffuse.alpha}};
            requireBuilt(motionMaterial(record, legacy, 0, 0.0f, &diffuse, nullptr, nullptr, nullptr, nullptr));
            if (record.data != nullptr) applyMaterialTemplate(record, layer);
        }
        return true;
    }
    const std::size_t t = material.hasMaterial ? index - 1 : index;
    // Asked only below motionCount(); anything past the list is no item.
    if (t >= materialTemplate_->textures.size()) return false;
    const TextureParams& texture = materialTemplate_->textures[t];
    const std::string picture = texture.fileName.substr(0, kNameLimit - 1);
    const std::int32_t value = texture.mappingtype.given ? texture.mappingtype.value : 0;
    const float sizeX = texture.size.given ? texture.size.value.v[0] : 0.0f;
    const float sizeY = texture.size.given ? texture.size.value.v[1] : 0.0f;
    requireBuilt(motionTexture(record, legacy, 0, picture.c_str(), value, sizeX, sizeY, 1));
    if (record.data != nullptr) applyTextureTemplate(record, texture);
    return true;
}

}  // namespace pelmora
