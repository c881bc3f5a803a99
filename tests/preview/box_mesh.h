// An axis-aligned box as a preview mesh, each face turning its front
// outwards: the blocker and the closed room of the lit preview's tests.
#pragma once

#include <array>
#include <cstdint>

#include "preview/preview_scene.h"

namespace pelmora::preview {

inline PreviewMesh boxMesh(const char* name, base::Vec3d low, base::Vec3d high) {
    PreviewMesh mesh;
    mesh.name = name;
    for (int i = 0; i < 8; ++i)
        mesh.vertices.push_back({i & 1 ? high.x : low.x, i & 2 ? high.y : low.y, i & 4 ? high.z : low.z});
    for (auto face : {std::array<std::uint32_t, 4>{0, 1, 3, 2},
                      {4, 6, 7, 5},
                      {0, 4, 5, 1},
                      {2, 3, 7, 6},
                      {0, 2, 6, 4},
                      {1, 5, 7, 3}})
        mesh.addPolygon({face[0], face[1], face[2], face[3]});
    return mesh;
}

}  // namespace pelmora::preview
