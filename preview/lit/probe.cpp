#include "preview/lit/probe.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "preview/lit/lit_render.h"

namespace pelmora::preview {

namespace {

Vec3d asDouble(const Vec3f& v) { return {v.x, v.y, v.z}; }

struct OnTriangle {
    double distance = std::numeric_limits<double>::infinity();  // from the point to the triangle
    double u = 0.0, v = 0.0;                                    // weights of the point's foot
    Vec3d foot;
};

// The foot of the point on the triangle's plane when it falls inside the
// triangle (with a margin of `tolerance`), and how far the point is from it.
OnTriangle footOn(const Vec3d& a, const Vec3d& b, const Vec3d& c, const Vec3d& p, double tolerance) {
    OnTriangle on;
    const Vec3d ab = b - a, ac = c - a;
    const Vec3d n = base::cross(ab, ac);
    const double area2 = base::length(n);
    if (!(area2 > 0.0)) return on;
    const Vec3d unit = n * (1.0 / area2);
    const double height = base::dot(p - a, unit);
    const Vec3d foot = p - unit * height;
    const double u = base::dot(base::cross(foot - a, ac), unit) / area2;
    const double v = base::dot(base::cross(ab, foot - a), unit) / area2;
    // The margin as weights: the tolerance over each corner's height.
    const double slack = tolerance * std::max({base::length(ab), base::length(ac), base::length(c - b)}) / area2;
    if (u < -slack || v < -slack || u + v > 1.0 + slack) return on;
    on.distance = std::abs(height);
    on.u = u;
    on.v = v;
    on.foot = foot;
    return on;
}

}  // namespace

ProbeReport probe(const LitScene& scene, const SurfacePoint& point) {
    ProbeReport report;
    report.point = point;
    for (const PhysicalLight& light : scene.lights()) {
        report.shares.push_back(shareOf(scene, light, point, true));
        report.illuminance += report.shares.back().illuminance;
    }
    return report;
}

std::optional<SurfacePoint> surfaceNear(const LitScene& scene, const Vec3d& point, const Vec3d* viewer,
                                        double tolerance, double& nearest) {
    OnTriangle best;
    unsigned bestMesh = 0, bestTriangle = 0;
    for (unsigned m = 0; m < scene.meshes().size(); ++m) {
        const LitMesh& mesh = scene.meshes()[m];
        for (unsigned t = 0; t < mesh.triangles.size(); ++t) {
            const auto& c = mesh.triangles[t];
            const OnTriangle on = footOn(asDouble(mesh.positions[c[0]]), asDouble(mesh.positions[c[1]]),
                                         asDouble(mesh.positions[c[2]]), point, tolerance);
            if (on.distance < best.distance) best = on, bestMesh = m, bestTriangle = t;
        }
    }
    nearest = best.distance;
    if (!(best.distance <= tolerance)) return std::nullopt;
    const Vec3d front = asDouble(scene.meshes()[bestMesh].faceNormals[bestTriangle]);
    const Vec3d towards = viewer ? *viewer - best.foot : front;
    return surfaceAt(scene, bestMesh, bestTriangle, best.u, best.v, best.foot, towards);
}

std::optional<SurfacePoint> surfaceAtPixel(const LitScene& scene, const View& view, int x, int y) {
    const Vec3d direction = pixelRay(view, x + 0.5, y + 0.5);
    const RayScene::Hit hit = scene.rays().firstHit(view.eye, direction, 0.0, std::numeric_limits<double>::infinity());
    if (!hit.found) return std::nullopt;
    return surfaceOf(scene, hit, view.eye, direction);
}

std::string reasonText(const LightShare& share, const std::vector<std::string>& meshNames) {
    switch (share.reach) {
        case Reach::Reaches:
            return {};
        case Reach::OutsideCone:
            return "outside its cone";
        case Reach::BehindSurface:
            return "behind the surface";
        case Reach::Blocked:
            break;
    }
    if (share.blocker >= 0 && static_cast<std::size_t>(share.blocker) < meshNames.size())
        return "blocked by " + meshNames[static_cast<std::size_t>(share.blocker)];
    return "blocked";  // by many transparent layers, none opaque
}

}  // namespace pelmora::preview
