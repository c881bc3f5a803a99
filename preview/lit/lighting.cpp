#include "preview/lit/lighting.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace pelmora::preview {

namespace {

Vec3d asDouble(const Vec3f& v) { return {v.x, v.y, v.z}; }

// More surfaces than this between a point and a light let nothing through.
constexpr int kMostLayers = 64;

struct Passage {
    double transmitted = 1.0;
    int blocker = -1;
};

// What passes from `origin` along `direction` up to `far`: the product of the
// transparencies of everything met, stopped at the first opaque surface.
Passage passage(const LitScene& scene, const Vec3d& origin, const Vec3d& direction, double far, bool nameBlocker) {
    Passage through;
    const double near = scene.offset();
    if (!scene.anyTransparent() && !nameBlocker) {
        if (scene.rays().blocked(origin, direction, near, far)) through.transmitted = 0.0;
        return through;
    }
    double from = near;
    for (int layer = 0; layer < kMostLayers && from < far; ++layer) {
        const RayScene::Hit hit = scene.rays().firstHit(origin, direction, from, far);
        if (!hit.found) return through;
        const double transparency = scene.meshes()[hit.mesh].surface.transparency;
        through.transmitted *= transparency;
        if (transparency <= 0.0) {
            through.blocker = static_cast<int>(hit.mesh);
            return through;
        }
        from = hit.distance + scene.offset();
    }
    if (from < far) through.transmitted = 0.0;
    return through;
}

double sRgbToLinear(std::uint8_t value) {
    const double c = value / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// A texture coordinate as a texel number: repeated, or held at the edge.
int texel(double coordinate, int size, bool repeat) {
    double t = coordinate * size;
    if (!std::isfinite(t)) return 0;
    if (repeat) t -= std::floor(coordinate) * size;
    const int index = static_cast<int>(std::floor(t));
    return std::clamp(index, 0, size - 1);
}

}  // namespace

SurfacePoint surfaceAt(const LitScene& scene, unsigned mesh, unsigned triangle, double u, double v,
                       const Vec3d& position, const Vec3d& towards) {
    const LitMesh& lit = scene.meshes()[mesh];
    const auto& corners = lit.triangles[triangle];
    const double w = 1.0 - u - v;
    SurfacePoint point;
    point.position = position;
    point.mesh = mesh;
    point.triangle = triangle;
    point.faceNormal = asDouble(lit.faceNormals[triangle]);
    point.normal = base::normalised(asDouble(lit.normals[corners[0]]) * w + asDouble(lit.normals[corners[1]]) * u +
                                    asDouble(lit.normals[corners[2]]) * v);
    if (!lit.textureCoordinates.empty())
        for (int i = 0; i < 2; ++i)
            point.textureCoordinate[i] = lit.textureCoordinates[corners[0]][i] * w +
                                         lit.textureCoordinates[corners[1]][i] * u +
                                         lit.textureCoordinates[corners[2]][i] * v;
    // Faces show both sides: the side seen is the one lit.
    if (base::dot(point.faceNormal, towards) < 0.0) {
        point.faceNormal = point.faceNormal * -1.0;
        point.normal = point.normal * -1.0;
    }
    if (base::dot(point.normal, point.faceNormal) <= 0.0 || !std::isfinite(point.normal.x))
        point.normal = point.faceNormal;
    return point;
}

SurfacePoint surfaceOf(const LitScene& scene, const RayScene::Hit& hit, const Vec3d& origin, const Vec3d& direction) {
    return surfaceAt(scene, hit.mesh, hit.triangle, hit.u, hit.v, origin + direction * hit.distance, direction * -1.0);
}

LightShare shareOf(const LitScene& scene, const PhysicalLight& light, const SurfacePoint& point, bool nameBlocker) {
    LightShare share;
    const LightAtPoint at = lightAtPoint(light, point.position, point.normal);
    if (at.arrival == Arrival::OutsideCone) share.reach = Reach::OutsideCone;
    // A smoothed normal may lean towards a light the face itself turns from.
    if (at.arrival == Arrival::BehindSurface || base::dot(point.faceNormal, at.towardLight) <= 0.0)
        share.reach = Reach::BehindSurface;
    if (share.reach != Reach::Reaches) return share;
    const Vec3d origin = point.position + point.faceNormal * scene.offset();
    const double far =
        std::isfinite(at.distance) ? at.distance - 2.0 * scene.offset() : std::numeric_limits<double>::infinity();
    const Passage through = passage(scene, origin, at.towardLight, far, nameBlocker);
    if (through.transmitted <= 0.0) {
        share.reach = Reach::Blocked;
        share.blocker = through.blocker;
        return share;
    }
    share.illuminance = at.illuminance * through.transmitted;
    for (int i = 0; i < 3; ++i) share.rgb[i] = at.rgb[i] * through.transmitted;
    return share;
}

std::array<double, 3> albedoAt(const LitScene& scene, const SurfacePoint& point) {
    const LitSurface& surface = scene.meshes()[point.mesh].surface;
    if (surface.picture < 0) return surface.diffuse;
    const TexturePicture& picture = scene.pictures()[static_cast<std::size_t>(surface.picture)];
    // V runs down the picture, as glTF counts it.
    const int x = texel(point.textureCoordinate[0], picture.width, surface.repeatU);
    const int y = texel(point.textureCoordinate[1], picture.height, surface.repeatV);
    const std::uint8_t* rgb =
        &picture.rgb[(static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width) + x) * 3];
    std::array<double, 3> albedo{};
    for (int i = 0; i < 3; ++i) albedo[i] = sRgbToLinear(rgb[i]) * (surface.mixColour ? surface.diffuse[i] : 1.0);
    return albedo;
}

}  // namespace pelmora::preview
