// The probe: the illuminance at a point of a surface, each light's share,
// and why a light that gives nothing does not reach the point.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "preview/lit/lighting.h"
#include "preview/view.h"

namespace pelmora::preview {

struct ProbeReport {
    SurfacePoint point;
    double illuminance = 0.0;        // lux, every light together
    std::vector<LightShare> shares;  // one per light, in the scene's order
};

ProbeReport probe(const LitScene& scene, const SurfacePoint& point);

// The surface under a point given in scene coordinates: the nearest triangle
// within `tolerance` (metres) of it, the point moved onto its plane, seen
// from `viewer` when there is one, else from the polygon's front. None when
// no surface is that near; `nearest` then says how far the nearest one is
// (infinite without any).
std::optional<SurfacePoint> surfaceNear(const LitScene& scene, const Vec3d& point, const Vec3d* viewer,
                                        double tolerance, double& nearest);

// The surface a pixel of the picture shows (x, y from the top left, whole
// pixels); none over the background.
std::optional<SurfacePoint> surfaceAtPixel(const LitScene& scene, const View& view, int x, int y);

// "blocked by NAME", "outside its cone", "behind the surface"; empty where
// the light reaches the point. `names` gives a mesh's name as shown.
std::string reasonText(const LightShare& share, const std::vector<std::string>& meshNames);

}  // namespace pelmora::preview
