// Splits a polygon of picture positions into triangles: a fan from the first
// corner when the polygon is convex, ear clipping when it is not (an L-shaped
// floor fanned from the wrong corner would cover its own notch).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pelmora::preview {

// Ear clipping costs up to the cube of the corner count; beyond this many
// corners a concave polygon is fanned all the same.
inline constexpr std::size_t kMaxClippedCorners = 512;

// `corners[i]` points at x and y of corner i. Fills `triangles` with three
// corner numbers per triangle; `work` is scratch space kept by the caller.
void splitPolygon(const double* const* corners, std::size_t count, std::vector<std::uint32_t>& triangles,
                  std::vector<std::uint32_t>& work);

}  // namespace pelmora::preview
