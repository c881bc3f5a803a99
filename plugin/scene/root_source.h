// The root of the scene tree (id 1000): its children are the camera target and
// the camera, then each light's target and light node, then the meshes.
#pragma once

#include <cstdint>
#include <vector>

#include "plugin/scene/camera_source.h"
#include "plugin/scene_file/records.h"

namespace pelmora {

class SceneContainer;

class RootSource : public TreeSource {
public:
    explicit RootSource(SceneContainer& scene) : scene(scene) {}

    void describe(bool legacy, NodeRecord& node) override;
    // Computes the camera first (may raise qmx_exception 11011/6 or /7), then
    // makes the node ids of the file unique: the writer asks before any child.
    unsigned childCount() override;
    // Sets the role of the shared camera or light source it gives; uses the
    // camera as the last childCount() computed it. A light's node is found by
    // a binary search, so many lights do not make each child a scan.
    TreeSource* child(unsigned index) override;

    SceneContainer& scene;  // not owned
    CameraSource camera;

private:
    // lightEnds_[k]: the light nodes of lights 0 to k, summed.
    void countLightNodes();
    // Gives the nodes whose ids collide new ones (plugin/scene/node_ids.h),
    // keeps a moved light's new id in its record and says so once.
    void makeNodeIdsUnique();
    std::vector<std::int64_t> lightEnds_;
    bool warnedOfMovedIds_ = false;
};

}  // namespace pelmora
