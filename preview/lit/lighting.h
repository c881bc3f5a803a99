// What each light gives a point of a surface, shadows included: the light's
// own falloff and cone (preview/light_model.h), then every surface between
// the point and the light, each passing its transparency's share.
#pragma once

#include <array>
#include <optional>

#include "preview/lit/lit_scene.h"

namespace pelmora::preview {

// A point on a mesh as a ray or the probe found it, turned to the side it is
// seen from.
struct SurfacePoint {
    Vec3d position;
    Vec3d normal;      // unit, the smoothed normal
    Vec3d faceNormal;  // unit, the polygon's own
    unsigned mesh = 0, triangle = 0;
    std::array<double, 2> textureCoordinate{0.0, 0.0};
};

// The point where `hit` met the ray, seen from where the ray came from.
SurfacePoint surfaceOf(const LitScene& scene, const RayScene::Hit& hit, const Vec3d& origin, const Vec3d& direction);

// The same for a point on a triangle (weights u, v of its second and third
// corner), seen from the side `towards` points to.
SurfacePoint surfaceAt(const LitScene& scene, unsigned mesh, unsigned triangle, double u, double v,
                       const Vec3d& position, const Vec3d& towards);

enum class Reach { Reaches, Blocked, OutsideCone, BehindSurface };

struct LightShare {
    Reach reach = Reach::Reaches;
    double illuminance = 0.0;  // lux
    std::array<double, 3> rgb{};
    int blocker = -1;  // with Blocked: the mesh that stops the light (the first opaque one met)
};

// The light a point gets from one light. With `nameBlocker` a blocked
// light's blocker is found even where a quicker test would do.
LightShare shareOf(const LitScene& scene, const PhysicalLight& light, const SurfacePoint& point, bool nameBlocker);

// The diffuse colour (linear RGB) of a surface point: its material's, or its
// picture's texel there (tinted by the colour when the texture says so).
std::array<double, 3> albedoAt(const LitScene& scene, const SurfacePoint& point);

}  // namespace pelmora::preview
