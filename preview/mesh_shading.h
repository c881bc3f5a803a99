// Normals (and texture coordinates) for a QMX mesh, which carries polygons and
// a smoothing angle only: at each corner the normal is the mean of the
// polygons round that vertex whose faces meet this polygon's at no more than
// the smoothing angle, so curved surfaces shade smooth and box edges stay
// hard. Corners that end up alike share one output vertex. The conversion's
// output and the lit preview both shade with this, in the same axes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "base/vec3.h"

#include "preview/texture_mapping.h"

namespace pelmora::preview {

// The right-handed axes shading and texture mapping work in: the scene
// file's axes with the third turned round (its own inverse). The normals
// made there face the side the converted model shows as the front.
inline Vec3f toOutputAxes(const Vec3f& v) { return {v.x, v.y, -v.z}; }

struct ShadedMesh {
    std::vector<Vec3f> positions, normals;
    std::vector<std::array<float, 2>> textureCoordinates;  // empty without a mapping
    std::vector<std::vector<std::uint32_t>> faces;         // into the arrays above
    std::size_t leftOut = 0;                               // polygons of 3 or more corners left out
};

// `polygons` index `points`; polygons with fewer than 3 corners, an index out
// of range or a corner that is not a finite point are left out.
// `smoothingAngle` in radians.
ShadedMesh shadeMesh(const std::vector<Vec3f>& points, const std::vector<std::vector<std::uint32_t>>& polygons,
                     double smoothingAngle, const std::optional<TextureMapping>& mapping);

}  // namespace pelmora::preview
