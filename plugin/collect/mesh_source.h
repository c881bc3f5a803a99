// The tree source of one drawing class: gathers every polygon exported for the
// class and describes it as one mesh node with the class template's material
// and textures as motion items.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "plugin/collect/vertex_pages.h"
#include "plugin/scene_file/records.h"

namespace pelmora {

class TemplateLibrary;
struct MaterialTemplate;
class VertexMerger;

class MeshSource : public TreeSource {
public:
    MeshSource() = default;

    // Binds the class: its template (by exact class name) and its table id.
    void init(std::int32_t classIndex, const TemplateLibrary* library);

    void beginPolygon(std::int32_t n);
    void addVertex(const Vec3f& v);
    void endPolygon();
    // Takes over the welded vertices and polygons of one object.
    void appendMerged(const VertexMerger& merger);

    void describe(bool legacy, NodeRecord& node) override;
    unsigned motionCount() override;
    bool motion(unsigned index, bool legacy, MotionRecord& record) override;

    std::int32_t classIndex() const { return classIndex_; }
    const VertexPages& vertices() const { return vertices_; }
    std::int32_t polygonCount() const { return polygonCount_; }
    const MaterialTemplate* materialTemplate() const { return materialTemplate_; }
    std::int32_t tableId() const { return tableId_; }
    // The id written in place of the table's or the counter's, when that one
    // collides with another node's (the counter still counts this mesh).
    void setMovedId(std::optional<std::uint32_t> id) { movedId_ = id; }
    // Per polygon: n, n vertex indices, 0 holes.
    const std::vector<std::int32_t>& indexList() const { return indexList_; }

private:
    std::int32_t classIndex_ = 0;
    VertexPages vertices_;
    std::int32_t polygonCount_ = 0;
    const MaterialTemplate* materialTemplate_ = nullptr;
    std::int32_t tableId_ = 0;
    std::optional<std::uint32_t> movedId_;
    std::vector<std::int32_t> indexList_;
};

}  // namespace pelmora
