#include "preview/texture_mapping.h"

#include <algorithm>
#include <cmath>

namespace pelmora::preview {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct Plane {
    double u, v;
};

// The box face a normal looks at most: the plan from above or below, else
// the elevation seen from the side it faces, so no side shows mirrored.
Plane boxPlane(const Vec3f& p, const Vec3f& low, const Vec3f& n) {
    const Vec3f d = p - low;
    const float ax = std::abs(n.x), ay = std::abs(n.y), az = std::abs(n.z);
    if (ay >= ax && ay >= az) return {d.x, n.y >= 0.0f ? -d.z : d.z};
    if (ax >= az) return {n.x >= 0.0f ? -d.z : d.z, d.y};
    return {n.z >= 0.0f ? d.x : -d.x, d.y};
}

Vec3f thinnestAxis(const BoundingBox& box) {
    const Vec3f extent = box.high - box.low;
    if (extent.y <= extent.x && extent.y <= extent.z) return Vec3f{0, 1, 0};
    return extent.x <= extent.z ? Vec3f{1, 0, 0} : Vec3f{0, 0, 1};
}

// Longitude in radians kept within half a turn of `near`, so that a polygon
// across the seam does not stretch round the whole circle.
double unwrapped(double angle, double near) {
    while (angle - near > kPi) angle -= 2.0 * kPi;
    while (near - angle > kPi) angle += 2.0 * kPi;
    return angle;
}

std::vector<Plane> project(const TextureMapping& mapping, const BoundingBox& box, const std::vector<Vec3f>& corners,
                           const Vec3f& normal) {
    std::vector<Plane> out;
    const Vec3f centre = (box.low + box.high) * 0.5f;
    const Vec3f extent = box.high - box.low;
    double firstAngle = 0.0;
    for (std::size_t i = 0; i < corners.size(); ++i) {
        const Vec3f& p = corners[i];
        const Vec3f d = p - centre;
        if (mapping.type == 2) {
            const double radius = 0.5 * std::max(extent.x, extent.z);
            double angle = std::atan2(-d.z, d.x);
            angle = i == 0 ? (firstAngle = angle) : unwrapped(angle, firstAngle);
            out.push_back({angle * radius, static_cast<double>(p.y - box.low.y)});
        } else if (mapping.type == 3) {
            const double radius = 0.5 * base::length(extent);
            double angle = std::atan2(-d.z, d.x);
            angle = i == 0 ? (firstAngle = angle) : unwrapped(angle, firstAngle);
            const double latitude = std::atan2(d.y, std::hypot(d.x, d.z));
            out.push_back({angle * radius, latitude * radius});
        } else {
            out.push_back(boxPlane(p, box.low, mapping.type == 1 ? thinnestAxis(box) : normal));
        }
    }
    return out;
}

}  // namespace

BoundingBox boundingBoxOf(const std::vector<Vec3f>& points) {
    BoundingBox box;
    if (points.empty()) return box;
    box.low = box.high = points.front();
    for (const Vec3f& p : points) {
        box.low = {std::min(box.low.x, p.x), std::min(box.low.y, p.y), std::min(box.low.z, p.z)};
        box.high = {std::max(box.high.x, p.x), std::max(box.high.y, p.y), std::max(box.high.z, p.z)};
    }
    return box;
}

std::vector<std::array<float, 2>> polygonTextureCoordinates(const TextureMapping& mapping, const BoundingBox& box,
                                                            const std::vector<Vec3f>& corners, const Vec3f& normal) {
    const double c = std::cos(mapping.rotate), s = std::sin(mapping.rotate);
    std::vector<std::array<float, 2>> out;
    for (const Plane& plane : project(mapping, box, corners, normal)) {
        const double u = plane.u - mapping.offsetU, v = plane.v - mapping.offsetV;
        // Turning the picture by `rotate` turns the surface under it the other way.
        double pu = (c * u + s * v) / mapping.sizeU, pv = (-s * u + c * v) / mapping.sizeV;
        if (mapping.invertU) pu = -pu;
        if (mapping.invertV) pv = -pv;
        out.push_back({static_cast<float>(pu), static_cast<float>(-pv)});
    }
    return out;
}

}  // namespace pelmora::preview
