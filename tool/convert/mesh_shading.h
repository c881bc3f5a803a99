// Normals (and texture coordinates) for a QMX mesh, which carries polygons and
// a smoothing angle only: at each corner the normal is the mean of the
// polygons round that vertex whose faces meet this polygon's at no more than
// the smoothing angle, so curved surfaces shade smooth and box edges stay
// hard. Corners that end up alike share one output vertex.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include <assimp/vector3.h>

#include "tool/convert/texture_mapping.h"

namespace pelmora::tool {

struct ShadedMesh {
    std::vector<aiVector3D> positions, normals;
    std::vector<std::array<float, 2>> textureCoordinates;  // empty without a mapping
    std::vector<std::vector<std::uint32_t>> faces;         // into the arrays above
    std::size_t leftOut = 0;                               // polygons of 3 or more corners left out
};

// `polygons` index `points`; polygons with fewer than 3 corners, an index out
// of range or a corner that is not a finite point are left out.
// `smoothingAngle` in radians.
ShadedMesh shadeMesh(const std::vector<aiVector3D>& points, const std::vector<std::vector<std::uint32_t>>& polygons,
                     double smoothingAngle, const std::optional<TextureMapping>& mapping);

}  // namespace pelmora::tool
