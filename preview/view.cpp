#include "preview/view.h"

#include <algorithm>
#include <cmath>

#include "preview/view_angle.h"

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
    return 0.5 * height / std::tan(0.5 * verticalFieldOfView(viewAngle, width, height));
}

View lookAt(const Vec3d& eye, const Vec3d& target, double viewAngle, int width, int height) {
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
    view.nearZ = std::max(length(target - eye) * 1e-5, 1e-9);
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
    const Vec3d direction = normalised(kDefaultDirection);
    const double focal = focalForViewAngle(kDefaultViewAngle, width, height);
    const double halfAngle = std::atan(0.5 * std::min(width, height) / focal);
    // Far enough for the bounding sphere; then closer, as long as every corner
    // of the box still projects into the inner 90% of the picture.
    auto fits = [&](double distance) {
        const View view = lookAt(centre + direction * distance, centre, kDefaultViewAngle, width, height);
        const Vec3d low = bounds.empty ? centre : bounds.low, high = bounds.empty ? centre : bounds.high;
        for (int i = 0; i < 8; ++i) {
            const Vec3d corner{i & 1 ? high.x : low.x, i & 2 ? high.y : low.y, i & 4 ? high.z : low.z};
            const Vec3d c = view.toCamera(corner);
            if (c.z <= view.nearZ) return false;
            if (std::abs(view.pictureX(c) - view.centreX) > 0.9 * view.centreX) return false;
            if (std::abs(view.pictureY(c) - view.centreY) > 0.9 * view.centreY) return false;
        }
        return true;
    };
    double far = 1.05 * radius / std::sin(halfAngle), near = 0.0;
    if (fits(far))
        for (int step = 0; step < 40; ++step) {
            const double middle = 0.5 * (near + far);
            (fits(middle) ? far : near) = middle;
        }
    return lookAt(centre + direction * far, centre, kDefaultViewAngle, width, height);
}

}  // namespace pelmora::preview
