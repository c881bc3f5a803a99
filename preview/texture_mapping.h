// Texture coordinates for QMX meshes, which carry none: the renderer projects
// a texture onto a mesh from the texture's values, and so do we. Lengths are
// in metres, so a texture of size 0.5 repeats every 0.5 m. Mapping types:
//   0 box: each polygon takes the plane of the bounding box it faces most
//     (floors the plan, walls their elevation); also any unknown type;
//   1 planar: every polygon the plane across the box's thinnest side;
//   2 cylindrical: round the vertical axis through the box's centre, the
//     distance along the circumference across, the height up;
//   3 spherical: longitude and latitude round the box's centre, as lengths
//     on the sphere through the box's corners.
// Distances count from the box's low corner (the centre for 2 and 3), then
// `position` is taken off, the picture turned by `rotate` and flipped by the
// invert flags. Points are in the output axes (Y up, right-handed).
#pragma once

#include <array>
#include <vector>

#include "base/vec3.h"

namespace pelmora::preview {

using base::Vec3f;

struct TextureMapping {
    int type = 0;
    double sizeU = 1.0, sizeV = 1.0;      // metres one picture covers
    double offsetU = 0.0, offsetV = 0.0;  // `position`, metres
    double rotate = 0.0;                  // radians, counter-clockwise
    bool invertU = false, invertV = false;
};

struct BoundingBox {
    Vec3f low, high;
};

BoundingBox boundingBoxOf(const std::vector<Vec3f>& points);

// Coordinates of a polygon's corners, in pictures, with V running down the
// picture as glTF counts it. `normal` is the polygon's unit normal.
std::vector<std::array<float, 2>> polygonTextureCoordinates(const TextureMapping& mapping, const BoundingBox& box,
                                                            const std::vector<Vec3f>& corners, const Vec3f& normal);

}  // namespace pelmora::preview
