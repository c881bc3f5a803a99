#include "preview/mesh_shading.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

namespace pelmora::preview {
namespace {

using base::Vec3f;
using Polygon = std::vector<std::uint32_t>;

// Newell's normal: its length is twice the polygon's area, its direction
// follows the corners' turn, as a viewer takes the front.
Vec3f areaNormal(const std::vector<Vec3f>& points, const Polygon& polygon) {
    Vec3f n{0, 0, 0};
    for (std::size_t i = 0; i < polygon.size(); ++i) {
        const Vec3f& a = points[polygon[i]];
        const Vec3f& b = points[polygon[(i + 1) % polygon.size()]];
        n.x += (a.y - b.y) * (a.z + b.z);
        n.y += (a.z - b.z) * (a.x + b.x);
        n.z += (a.x - b.x) * (a.y + b.y);
    }
    return n;
}

Vec3f unit(Vec3f v, const Vec3f& fallback) {
    const float length = base::length(v);
    return length > 0.0f && std::isfinite(length) ? v * (1.0f / length) : fallback;
}

bool finite(const Vec3f& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

using Key = std::tuple<float, float, float, float, float, float, float, float>;

}  // namespace

ShadedMesh shadeMesh(const std::vector<Vec3f>& points, const std::vector<Polygon>& polygons, double smoothingAngle,
                     const std::optional<TextureMapping>& mapping) {
    std::vector<const Polygon*> usable;
    for (const Polygon& polygon : polygons) {
        bool inside = polygon.size() >= 3;
        for (std::uint32_t index : polygon) inside = inside && index < points.size() && finite(points[index]);
        if (inside) usable.push_back(&polygon);
    }
    std::size_t tooSmall = 0;
    for (const Polygon& polygon : polygons) tooSmall += polygon.size() < 3 ? 1 : 0;
    std::vector<Vec3f> weighted(usable.size()), faceUnit(usable.size());
    std::vector<std::vector<std::size_t>> around(points.size());
    for (std::size_t f = 0; f < usable.size(); ++f) {
        weighted[f] = areaNormal(points, *usable[f]);
        faceUnit[f] = unit(weighted[f], Vec3f{0, 1, 0});
        for (std::uint32_t index : *usable[f]) around[index].push_back(f);
    }
    // A little slack, so that faces meeting at exactly the angle count as smooth.
    const double limit = std::cos(std::clamp(smoothingAngle, 0.0, 3.14159265358979323846)) - 1e-6;
    const BoundingBox box = boundingBoxOf(points);

    ShadedMesh out;
    out.leftOut = polygons.size() - tooSmall - usable.size();
    std::map<Key, std::uint32_t> seen;
    for (std::size_t f = 0; f < usable.size(); ++f) {
        const Polygon& polygon = *usable[f];
        std::vector<std::array<float, 2>> uv;
        if (mapping) {
            std::vector<Vec3f> corners;
            for (std::uint32_t index : polygon) corners.push_back(points[index]);
            uv = polygonTextureCoordinates(*mapping, box, corners, faceUnit[f]);
        }
        std::vector<std::uint32_t> face;
        for (std::size_t c = 0; c < polygon.size(); ++c) {
            Vec3f sum{0, 0, 0};
            for (std::size_t g : around[polygon[c]])
                if (g == f || base::dot(faceUnit[g], faceUnit[f]) >= limit) sum = sum + weighted[g];
            const Vec3f normal = unit(sum, faceUnit[f]);
            const Vec3f& p = points[polygon[c]];
            const std::array<float, 2> t = mapping ? uv[c] : std::array<float, 2>{0, 0};
            const Key key{p.x, p.y, p.z, normal.x, normal.y, normal.z, t[0], t[1]};
            auto [at, fresh] = seen.emplace(key, static_cast<std::uint32_t>(out.positions.size()));
            if (fresh) {
                out.positions.push_back(p);
                out.normals.push_back(normal);
                if (mapping) out.textureCoordinates.push_back(t);
            }
            face.push_back(at->second);
        }
        out.faces.push_back(std::move(face));
    }
    return out;
}

}  // namespace pelmora::preview
