#include "preview/lit/lit_scene.h"

#include <algorithm>
#include <cmath>

#include "platform/whole_file.h"
#include "preview/mesh_shading.h"
#include "preview/polygon_split.h"
#include "preview/texture_images.h"
#include "preview/view.h"

namespace pelmora::preview {

namespace {

Vec3f newellNormal(const std::vector<Vec3f>& points, const std::vector<std::uint32_t>& face) {
    Vec3f n{0, 0, 0};
    for (std::size_t i = 0; i < face.size(); ++i) {
        const Vec3f& a = points[face[i]];
        const Vec3f& b = points[face[(i + 1) % face.size()]];
        n.x += (a.y - b.y) * (a.z + b.z);
        n.y += (a.z - b.z) * (a.x + b.x);
        n.z += (a.x - b.x) * (a.y + b.y);
    }
    return base::normalised(n);
}

// Cuts a polygon into triangles in the plane it faces most, as the flat
// preview cuts it on the picture (ears where it is concave).
void cutIntoTriangles(const std::vector<Vec3f>& points, const std::vector<std::uint32_t>& face, const Vec3f& normal,
                      std::vector<std::array<std::uint32_t, 3>>& out) {
    const float ax = std::abs(normal.x), ay = std::abs(normal.y), az = std::abs(normal.z);
    const int drop = ax >= ay && ax >= az ? 0 : ay >= az ? 1 : 2;
    std::vector<std::array<double, 2>> flat(face.size());
    std::vector<const double*> corners(face.size());
    for (std::size_t i = 0; i < face.size(); ++i) {
        const Vec3f& p = points[face[i]];
        flat[i] = drop == 0   ? std::array<double, 2>{p.y, p.z}
                  : drop == 1 ? std::array<double, 2>{p.z, p.x}
                              : std::array<double, 2>{p.x, p.y};
        corners[i] = flat[i].data();
    }
    std::vector<std::uint32_t> split, work;
    splitPolygon(corners.data(), corners.size(), split, work);
    for (std::size_t i = 0; i + 2 < split.size(); i += 3)
        out.push_back({face[split[i]], face[split[i + 1]], face[split[i + 2]]});
}

LitMesh litMeshOf(const PreviewMesh& source) {
    std::vector<Vec3f> points;
    points.reserve(source.vertices.size());
    for (const Vec3d& v : source.vertices)
        points.push_back(
            toOutputAxes(Vec3f{static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)}));
    std::vector<std::vector<std::uint32_t>> polygons;
    for (std::size_t k = 0; k < source.polygonCount(); ++k)
        polygons.emplace_back(source.indices.begin() + source.starts[k], source.indices.begin() + source.starts[k + 1]);
    const MeshSurface& surface = source.surface;
    const ShadedMesh shaded = shadeMesh(points, polygons, surface.smoothingAngle, surface.mapping);

    LitMesh mesh;
    mesh.name = source.name;
    mesh.surface.diffuse = {source.colour.red, source.colour.green, source.colour.blue};
    mesh.surface.emissive = {surface.emissive[0], surface.emissive[1], surface.emissive[2]};
    mesh.surface.transparency = surface.transparency;
    mesh.surface.repeatU = surface.repeatU;
    mesh.surface.repeatV = surface.repeatV;
    mesh.surface.mixColour = surface.mixColour;
    mesh.textureCoordinates = shaded.textureCoordinates;
    for (const auto& face : shaded.faces) {
        const Vec3f normal = newellNormal(shaded.positions, face);
        const std::size_t before = mesh.triangles.size();
        cutIntoTriangles(shaded.positions, face, normal, mesh.triangles);
        mesh.faceNormals.insert(mesh.faceNormals.end(), mesh.triangles.size() - before, toOutputAxes(normal));
    }
    for (const Vec3f& p : shaded.positions) mesh.positions.push_back(toOutputAxes(p));
    for (const Vec3f& n : shaded.normals) mesh.normals.push_back(toOutputAxes(n));
    return mesh;
}

}  // namespace

LitScene::LitScene(const PreviewScene& scene, const LitSettings& settings) {
    for (const PreviewMesh& source : scene.meshes) {
        LitMesh mesh = litMeshOf(source);
        if (mesh.triangles.empty()) continue;
        if (source.surface.mapping && !source.surface.pictureName.empty())
            mesh.surface.picture = pictureFor(source.surface.pictureName, settings.pictureFolders);
        anyTransparent_ = anyTransparent_ || mesh.surface.transparency > 0.0;
        rays_.addMesh(mesh.positions, mesh.triangles);
        meshes_.push_back(std::move(mesh));
    }
    rays_.commit();
    const Bounds bounds = sceneBounds(scene);
    radius_ = std::max(bounds.radius(), 1e-3);
    const Vec3d far = bounds.empty ? Vec3d{}
                                   : Vec3d{std::max(std::abs(bounds.low.x), std::abs(bounds.high.x)),
                                           std::max(std::abs(bounds.low.y), std::abs(bounds.high.y)),
                                           std::max(std::abs(bounds.low.z), std::abs(bounds.high.z))};
    offset_ = 1e-5 * std::max(base::length(far), 1.0);
    for (const PreviewLight& light : scene.lights)
        lights_.push_back(placeLight(light.name, light.reading, light.position, light.target ? &*light.target : nullptr,
                                     settings.lightScale));
}

int LitScene::pictureFor(const std::string& name, const std::vector<std::string>& folders) {
    const auto known = std::find(pictureNames_.begin(), pictureNames_.end(), name);
    if (known != pictureNames_.end()) {
        const int index = static_cast<int>(known - pictureNames_.begin());
        return pictures_[static_cast<std::size_t>(index)].empty() ? -1 : index;
    }
    pictureNames_.push_back(name);
    pictures_.emplace_back();
    const std::string found = findTextureImage(name, folders);
    std::string bytes, problem;
    if (found.empty()) problem = "is in none of the texture folders";
    else if (!tool::system::readWholeFile(found, bytes)) problem = "cannot be read (" + found + ")";
    else pictures_.back() = decodePicture(bytes, problem);
    if (!problem.empty()) {
        problems_.push_back(name + ": " + problem + "; its surface shows its colour");
        return -1;
    }
    return static_cast<int>(pictures_.size()) - 1;
}

}  // namespace pelmora::preview
