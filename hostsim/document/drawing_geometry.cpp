// Conversion geometry in its two forms, a list of entries and a flat mesh:
// comparing them by what they stand for, and turning a list of plain
// polygons into a mesh.
#include <cstring>
#include <tuple>
#include <unordered_map>

#include "hostsim/document/drawing.h"

namespace pelmora::hostsim {
namespace {

bool plainPolygon(const GeometryEntry& e) { return !e.isGroup && e.className.empty() && e.closed && e.vertexData; }

bool sameCorners(const PolygonMesh& mesh, std::size_t polygon, const std::vector<Point3>& points) {
    if (mesh.cornerCount(polygon) != points.size()) return false;
    for (std::size_t k = 0; k < points.size(); ++k)
        if (!(mesh.corner(polygon, k) == points[k])) return false;
    return true;
}

bool meshMatches(const PolygonMesh& mesh, const std::vector<GeometryEntry>& entries) {
    if (mesh.size() != entries.size()) return false;
    for (std::size_t p = 0; p < entries.size(); ++p)
        if (!plainPolygon(entries[p]) || !sameCorners(mesh, p, entries[p].points)) return false;
    return true;
}

bool sameGeometry(const DrawingObject& a, const DrawingObject& b) {
    if (a.mesh && b.mesh) return *a.mesh == *b.mesh && !a.polygons && !b.polygons;
    if (a.mesh) return b.polygons && !a.polygons && meshMatches(*a.mesh, *b.polygons);
    if (b.mesh) return a.polygons && meshMatches(*b.mesh, *a.polygons);
    return a.polygons == b.polygons;
}

// The exact bits of a point, so that -0.0 and 0.0 stay two points.
struct PointBits {
    std::uint64_t x, y, z;
    bool operator==(const PointBits&) const = default;
};
struct PointBitsHash {
    std::size_t operator()(const PointBits& p) const {
        std::uint64_t h = p.x * 0x9E3779B97F4A7C15ull;
        h ^= (p.y + 0x632BE59BD9B4E019ull) * 0xC2B2AE3D27D4EB4Full;
        h ^= (p.z + 0x165667B19E3779F9ull) * 0x85EBCA77C2B2AE63ull;
        return static_cast<std::size_t>(h ^ (h >> 29));
    }
};

PointBits bitsOf(const Point3& p) {
    PointBits bits;
    std::memcpy(&bits.x, &p.x, 8);
    std::memcpy(&bits.y, &p.y, 8);
    std::memcpy(&bits.z, &p.z, 8);
    return bits;
}

}  // namespace

bool PolygonMesh::operator==(const PolygonMesh& other) const {
    if (size() != other.size()) return false;
    for (std::size_t p = 0; p < size(); ++p) {
        if (cornerCount(p) != other.cornerCount(p)) return false;
        for (std::size_t k = 0; k < cornerCount(p); ++k)
            if (!(corner(p, k) == other.corner(p, k))) return false;
    }
    return true;
}

bool DrawingObject::operator==(const DrawingObject& o) const {
    // Every member but the geometry; a member added to DrawingObject belongs here too.
    return std::tie(type, className, visible, selected, name, records, members, points, closed, vertexData, symbol,
                    referredLayer, properties) == std::tie(o.type, o.className, o.visible, o.selected, o.name,
                                                           o.records, o.members, o.points, o.closed, o.vertexData,
                                                           o.symbol, o.referredLayer, o.properties) &&
           sameGeometry(*this, o);
}

void flattenPlainGeometry(DrawingObject& object) {
    if (!object.polygons || object.polygons->empty()) return;
    const std::vector<GeometryEntry>& entries = *object.polygons;
    std::size_t cornerCount = 0;
    for (const GeometryEntry& e : entries) {
        if (!plainPolygon(e)) return;
        cornerCount += e.points.size();
    }
    PolygonMesh mesh;
    mesh.corners.reserve(cornerCount);
    mesh.ends.reserve(entries.size());
    std::unordered_map<PointBits, std::uint32_t, PointBitsHash> seen;
    for (const GeometryEntry& e : entries) {
        for (const Point3& p : e.points) {
            const auto [at, added] = seen.try_emplace(bitsOf(p), static_cast<std::uint32_t>(mesh.points.size()));
            if (added) mesh.points.push_back(p);
            mesh.corners.push_back(at->second);
        }
        mesh.ends.push_back(static_cast<std::uint32_t>(mesh.corners.size()));
    }
    mesh.points.shrink_to_fit();
    object.polygons.reset();
    object.mesh = std::move(mesh);
}

}  // namespace pelmora::hostsim
