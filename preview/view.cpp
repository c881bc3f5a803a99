#include "preview/view.h"

#include <algorithm>
#include <cmath>

namespace pelmora::preview {

namespace {

// From where a scene without camera is seen: east, above and south of its
// centre (scene axes X east, Y up, Z north).
const Vec3d kDefaultDirection{0.55, 0.45, -0.70};

}  // namespace

double length(const Vec3d& a) { return std::sqrt(dot(a, a)); }

Vec3d normalised(const Vec3d& a) {
    const double l = length(a);
    return l > 0.0 ? a * (1.0 / l) : a;
}

double focalForViewAngle(double viewAngle, int width, int height) {
    return 0.5 * std::hypot(static_cast<double>(width), static_cast<double>(height)) / std::tan(viewAngle);
}

View lookAt(const Vec3d& eye, const Vec3d& target, double viewAngle, int width, int height, double sceneSize) {
    View view;
    view.eye = eye;
    view.forward = normalised(target - eye);
    // Straight down or up the Y axis, north is up on the picture.
    const Vec3d hint = std::abs(view.forward.y) > 0.9999 ? Vec3d{0.0, 0.0, 1.0} : Vec3d{0.0, 1.0, 0.0};
    view.right = normalised(cross(hint, view.forward));
    view.up = cross(view.forward, view.right);
    view.focal = focalForViewAngle(viewAngle, width, height);
    view.centreX = 0.5 * width;
    view.centreY = 0.5 * height;
    view.width = width;
    view.height = height;
    // 1 / depth is kept in floats, whose relative precision does not depend on
    // the near distance; a small one only costs what lies closer still.
    const double size = std::max(sceneSize, length(target - eye));
    view.nearZ = std::max(size * 1e-5, 1e-9);
    return view;
}

void Bounds::add(const Vec3d& p) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return;
    if (empty) {
        low = high = p;
        empty = false;
        return;
    }
    low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
    high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
}

Bounds sceneBounds(const PreviewScene& scene) {
    Bounds bounds;
    for (const auto& mesh : scene.meshes)
        for (std::uint32_t index : mesh.indices)
            if (index < mesh.vertices.size()) bounds.add(mesh.vertices[index]);
    if (bounds.empty)
        for (const auto& light : scene.lights) bounds.add(light.position);
    return bounds;
}

View framingView(const Bounds& bounds, int width, int height) {
    const Vec3d centre = bounds.empty ? Vec3d{} : bounds.centre();
    const double radius = bounds.radius() > 0.0 ? bounds.radius() : 1.0;
    const double focal = focalForViewAngle(kDefaultViewAngle, width, height);
    const double halfAngle = std::atan(0.5 * std::min(width, height) / focal);
    const double distance = 1.05 * radius / std::sin(halfAngle);
    const Vec3d eye = centre + normalised(kDefaultDirection) * distance;
    return lookAt(eye, centre, kDefaultViewAngle, width, height, radius);
}

}  // namespace pelmora::preview
