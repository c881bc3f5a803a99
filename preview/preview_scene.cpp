#include "preview/preview_scene.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "preview/surface_values.h"
#include "qmxread/qmx_reader.h"

namespace pelmora::preview {

namespace {

using qmxread::kCameraNode;
using qmxread::kLightNode;
using qmxread::kMeshNode;

const qmxread::DecodedField* decodedField(const qmxread::Node& node, const char* motion, const char* field) {
    const qmxread::Motion* item = node.motion(motion);
    return item ? item->field(field) : nullptr;
}

std::optional<Vec3d> translationOf(const qmxread::Node& node) {
    const auto* field = decodedField(node, "motionTranslate", "translation");
    if (!field || field->floats.size() != 3) return std::nullopt;
    return Vec3d{field->floats[0], field->floats[1], field->floats[2]};
}

bool finite(const Vec3d& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

float channel(float value, float fallback) {
    if (!std::isfinite(value)) return fallback;
    return std::clamp(value, 0.0f, 1.0f);
}

Colour colourOf(const qmxread::Node& node) {
    Colour colour;
    const auto* diffuse = decodedField(node, "motionMaterial", "diffuse");
    if (!diffuse || diffuse->floats.size() < 3) return colour;
    colour.red = channel(diffuse->floats[0], colour.red);
    colour.green = channel(diffuse->floats[1], colour.green);
    colour.blue = channel(diffuse->floats[2], colour.blue);
    return colour;
}

MeshSurface surfaceOf(const qmxread::Node& node, const qmxread::MeshPayload& payload) {
    MeshSurface surface;
    const qmxread::Motion* material = node.motion("motionMaterial");
    if (const auto* emissive = decodedField(node, "motionMaterial", "emissive");
        emissive && emissive->floats.size() >= 3)
        for (int i = 0; i < 3; ++i) surface.emissive[i] = channel(emissive->floats[i], 0.0f);
    surface.transparency = transparencyOf(material);
    surface.smoothingAngle = std::isfinite(payload.smoothingAngle) ? payload.smoothingAngle : 0.0;
    if (const qmxread::Motion* map = colourMapOf(node)) {
        surface.mapping = textureMappingOf(*map, payload.mappingType);
        surface.pictureName = map->field("fileName")->text;
        const auto* repeatX = map->field("repeatx");
        const auto* repeatY = map->field("repeaty");
        const auto* mix = map->field("mixcolor");
        surface.repeatU = !repeatX || repeatX->ints.empty() || repeatX->ints[0] != 0;
        surface.repeatV = !repeatY || repeatY->ints.empty() || repeatY->ints[0] != 0;
        surface.mixColour = mix && !mix->ints.empty() && mix->ints[0] != 0;
    }
    return surface;
}

PreviewMesh meshOf(const qmxread::Node& node, const qmxread::MeshPayload& payload) {
    PreviewMesh mesh;
    mesh.name = node.name;
    mesh.colour = colourOf(node);
    mesh.surface = surfaceOf(node, payload);
    mesh.vertices.reserve(payload.vertices.size());
    for (const auto& v : payload.vertices) mesh.vertices.push_back({v.x, v.y, v.z});
    mesh.starts.reserve(payload.polygons.size() + 1);
    for (const auto& polygon : payload.polygons) {
        // Holes are not cut out: the exporter writes none, and a preview of
        // the outline is still the right silhouette.
        mesh.indices.insert(mesh.indices.end(), polygon.indices.begin(), polygon.indices.end());
        mesh.starts.push_back(static_cast<std::uint32_t>(mesh.indices.size()));
    }
    return mesh;
}

struct Collected {
    std::map<std::uint32_t, const qmxread::Node*> byId;
    std::vector<const qmxread::Node*> cameras, lights;
};

void collect(const qmxread::Node& node, Collected& out, PreviewScene& scene) {
    out.byId.emplace(node.id, &node);
    if (node.type == kCameraNode) out.cameras.push_back(&node);
    if (node.type == kLightNode) out.lights.push_back(&node);
    if (node.type == kMeshNode && node.mesh) scene.meshes.push_back(meshOf(node, *node.mesh));
    for (const auto& child : node.children) collect(child, out, scene);
}

std::optional<Vec3d> targetPoint(const qmxread::Node& node, const Collected& nodes) {
    auto found = nodes.byId.find(static_cast<std::uint32_t>(node.targetId1));
    if (node.targetId1 < 0 || found == nodes.byId.end()) return std::nullopt;
    return translationOf(*found->second);
}

void takeCamera(const qmxread::Node& node, const Collected& nodes, PreviewScene& scene) {
    const auto eye = translationOf(node);
    const auto target = targetPoint(node, nodes);
    if (!eye || !target) {
        scene.cameraProblem = !eye ? "its camera node has no position" : "its camera has no target node";
        return;
    }
    if (!finite(*eye) || !finite(*target)) {
        scene.cameraProblem = "its camera's position or target is not a finite point";
        return;
    }
    if (eye->x == target->x && eye->y == target->y && eye->z == target->z) {
        scene.cameraProblem = "its camera stands on its own target";
        return;
    }
    PreviewCamera camera{*eye, *target, kDefaultViewAngle, 0, 0};
    if (const auto* angle = decodedField(node, "motionCameraParameter", "viewAngle"); angle && !angle->floats.empty())
        camera.viewAngle = angle->floats[0];
    if (const auto* w = decodedField(node, "motionCameraParameter", "pictureWidth"); w && !w->ints.empty())
        camera.pictureWidth = w->ints[0];
    if (const auto* h = decodedField(node, "motionCameraParameter", "pictureHeight"); h && !h->ints.empty())
        camera.pictureHeight = h->ints[0];
    scene.camera = camera;
}

}  // namespace

void PreviewMesh::addPolygon(std::initializer_list<std::uint32_t> polygon) {
    indices.insert(indices.end(), polygon.begin(), polygon.end());
    starts.push_back(static_cast<std::uint32_t>(indices.size()));
}

PreviewScene sceneFromQmx(const qmxread::QmxFile& file) {
    PreviewScene scene;
    Collected nodes;
    for (const auto& root : file.roots) collect(root, nodes, scene);
    if (!nodes.cameras.empty()) takeCamera(*nodes.cameras.front(), nodes, scene);
    for (const auto* node : nodes.lights) {
        const auto position = translationOf(*node);
        if (!position || !finite(*position)) continue;
        PreviewLight light{node->name, *position, targetPoint(*node, nodes), readLight(*node)};
        if (light.target && !finite(*light.target)) light.target.reset();
        scene.lights.push_back(std::move(light));
    }
    return scene;
}

PreviewScene loadPreviewScene(const std::string& path) { return sceneFromQmx(qmxread::readQmxFile(path)); }

}  // namespace pelmora::preview
