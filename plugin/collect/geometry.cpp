#include "plugin/collect/geometry.h"

#include "plugin/collect/mesh_source.h"
#include "plugin/collect/scene_container.h"
#include "plugin/collect/vertex_merger.h"
#include "plugin/host/services.h"
#include "plugin/host/unit_settings.h"

namespace pelmora {
namespace {

// Type codes of temporary objects.

// Gives a temporary object back to the host however its reading ends.
class TemporaryObject {
public:
    explicit TemporaryObject(HostHandle handle) : handle_(handle) {}
    ~TemporaryObject() {
        if (handle_ != nullptr) host::deleteObject(handle_);
    }
    TemporaryObject(const TemporaryObject&) = delete;
    TemporaryObject& operator=(const TemporaryObject&) = delete;
    HostHandle get() const { return handle_; }

private:
    HostHandle handle_;
};

// The vertex count of a polygon that has a vertex list, else 0.
std::int16_t usableVertexCount(HostHandle polygon) {
    if (host::polyVertexData(polygon) == 0) return 0;
    return host::vertexCount(polygon);
}

void fileIntoMesh(SceneContainer& scene, HostHandle polygon, std::int16_t n) {
    MeshSource& mesh = meshFor(scene, polygon);
    mesh.beginPolygon(n);
    // The counter is wider than the count: at n = 32767 a 16-bit one would wrap before passing n.
    for (std::int32_t i = 1; i <= n; ++i) mesh.addVertex(outputVertex(scene, polygon, static_cast<std::int16_t>(i)));
    mesh.endPolygon();
}

}  // namespace

Vec3f outputVertex(const SceneContainer& scene, HostHandle polygon, std::int16_t indexFromOne) {
    HostPoint point{0.0, 0.0, 0.0};
    host::getVertex(polygon, indexFromOne, &point);
    const double x = toMetres(point.x);
    const double y = toMetres(point.y);
    const double z = toMetres(point.z);
    return Vec3f{static_cast<float>(x), static_cast<float>(z + scene.elevation), static_cast<float>(y)};
}

MeshSource& meshFor(SceneContainer& scene, HostHandle object) {
    const std::int32_t c = host::objectClass(object);
    if (MeshSource* known = scene.findMesh(c)) return *known;
    auto mesh = std::make_unique<MeshSource>();
    MeshSource& created = *mesh;
    scene.meshes.push_back(std::move(mesh));
    created.init(c, scene.library);
    return created;
}

void readPolygon(SceneContainer& scene, HostHandle polygon, VertexMerger* merger) {
    const std::int16_t n = usableVertexCount(polygon);
    if (n < 3) return;
    scene.tick();
    if (merger == nullptr) {
        fileIntoMesh(scene, polygon, n);
        return;
    }
    merger->beginPolygon(n);
    for (std::int32_t i = 1; i <= n; ++i) merger->addVertex(outputVertex(scene, polygon, static_cast<std::int16_t>(i)));
}

void readDirectPolygon(SceneContainer& scene, HostHandle polygon) {
    const std::int16_t n = usableVertexCount(polygon);
    if (n <= 2 || !host::isClosedPoly(polygon)) return;
    scene.tick();
    fileIntoMesh(scene, polygon, n);
}

void convertThroughHost(SceneContainer& scene, HostHandle object, bool merge) {
    const std::int32_t token = host::objectToken(object);
    TemporaryObject temporary(host::makeTemporaryObject(token));
    if (temporary.get() == nullptr) return;

    std::unique_ptr<VertexMerger> merger;
    if (merge) merger = std::make_unique<VertexMerger>();

    const std::int16_t type = host::objectType(temporary.get());
    if (type == host::kTypeGroup) {
        for (HostHandle p = host::firstMember(temporary.get()); p != nullptr; p = host::nextObject(p)) {
            if (host::objectType(p) == host::kTypePolygon) readPolygon(scene, p, merger.get());
        }
    } else if (type == host::kTypePolygon) {
        readPolygon(scene, temporary.get(), merger.get());
    }

    // With merging the object's own class gets a mesh even when no polygon was read.
    if (merger) meshFor(scene, object).appendMerged(*merger);
}

}  // namespace pelmora
