#include "tool/convert/scene_to_model.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <map>
#include <optional>
#include <set>

#include <assimp/material.h>

#include "plugin/payloads/payload_camera.h"
#include "plugin/payloads/payload_light.h"
#include "preview/light_model.h"
#include "preview/mesh_shading.h"
#include "preview/render_preview.h"
#include "preview/surface_values.h"
#include "preview/view.h"
#include "preview/view_angle.h"
#include "tool/import/material_property.h"

namespace pelmora::tool {
namespace {

using qmxread::Motion;
using qmxread::Node;

using preview::ShadedMesh;
using qmxread::kCameraNode;
using qmxread::kLightNode;
using qmxread::kMeshNode;
constexpr double kPi = 3.14159265358979323846;

aiVector3D asAssimp(const base::Vec3f& v) { return {v.x, v.y, v.z}; }

// QMX axes to the right-handed output axes.
aiVector3D place(const base::Vec3f& v) { return asAssimp(preview::toOutputAxes(v)); }

std::vector<float> floatsOf(const Motion* motion, const char* field) {
    const auto* found = motion ? motion->field(field) : nullptr;
    return found ? found->floats : std::vector<float>{};
}

float floatOf(const Motion* motion, const char* field, float fallback) {
    std::vector<float> values = floatsOf(motion, field);
    return values.empty() || !std::isfinite(values[0]) ? fallback : values[0];
}

int intOf(const Motion* motion, const char* field, int fallback) {
    const auto* found = motion ? motion->field(field) : nullptr;
    return found && !found->ints.empty() ? found->ints[0] : fallback;
}

bool translationOf(const Node& node, aiVector3D& out) {
    std::vector<float> t = floatsOf(node.motion("motionTranslate"), "translation");
    if (t.size() != 3) return false;
    out = place(base::Vec3f{t[0], t[1], t[2]});
    return std::isfinite(out.x) && std::isfinite(out.y) && std::isfinite(out.z);
}

// A node transform at `position` whose -Z looks along `look`, Y up where it can.
aiMatrix4x4 lookingAlong(const aiVector3D& position, aiVector3D look) {
    if (look.Length() <= 0.0f || !std::isfinite(look.Length())) look = aiVector3D(0, 0, -1);
    look.Normalize();
    aiVector3D up(0, 1, 0);
    if (std::abs(look * up) > 0.999f) up = aiVector3D(0, 0, -1);
    aiVector3D right = (look ^ up).Normalize();
    aiVector3D trueUp = right ^ look;
    aiMatrix4x4 m;
    m.a1 = right.x, m.a2 = trueUp.x, m.a3 = -look.x, m.a4 = position.x;
    m.b1 = right.y, m.b2 = trueUp.y, m.b3 = -look.y, m.b4 = position.y;
    m.c1 = right.z, m.c2 = trueUp.z, m.c3 = -look.z, m.c4 = position.z;
    return m;
}

template <class T>
using Owned = std::vector<std::unique_ptr<T>>;

// Moves what `owned` holds into `table` (already made, room for all) and
// then sets `count`: the scene frees only what its counts say it holds.
template <class T>
void handOver(Owned<T>& owned, T** table, unsigned& count) {
    for (std::size_t i = 0; i < owned.size(); ++i) table[i] = owned[i].release();
    count = static_cast<unsigned>(owned.size());
    owned.clear();
}

class Builder {
public:
    Builder(const qmxread::QmxFile& file, const NameDecoder& names, bool textureNames, double lightScale)
        : file_(file), names_(names), textureNames_(textureNames), lightScale_(lightScale) {}

    ConvertedScene run() {
        for (const Node& root : file_.roots) index(root);
        for (const Node& root : file_.roots) visit(root);
        if (cameras_.empty() && !meshes_.empty()) addFramingCamera();

        // At least one material: some writers need one even without meshes.
        if (materials_.empty()) {
            ConvertedMaterial fallback;
            fallback.name = "Default";
            materialInfo_.push_back(fallback);
            materials_.push_back(defaultMaterial("Default"));
        }
        ConvertedScene out;
        out.scene = assemble();
        out.cameras = std::move(cameraInfo_);
        out.lights = std::move(lightInfo_);
        out.materials = std::move(materialInfo_);
        out.meshes = static_cast<int>(out.scene->mNumMeshes);
        out.skippedEmptyMeshes = skippedEmpty_;
        out.droppedHoles = droppedHoles_;
        out.droppedPolygons = droppedPolygons_;
        out.vertices = vertices_;
        out.polygons = polygons_;
        return out;
    }

private:
    // The scene's tables are all made before anything moves into them: a
    // failed allocation leaves each part with one owner, freed once.
    std::unique_ptr<aiScene> assemble() {
        auto scene = std::make_unique<aiScene>();
        scene->mRootNode = new aiNode("Scene");
        scene->mMaterials = new aiMaterial*[materials_.size()]();
        scene->mMeshes = new aiMesh*[std::max<std::size_t>(meshes_.size(), 1)]();
        if (!cameras_.empty()) scene->mCameras = new aiCamera*[cameras_.size()]();
        if (!lights_.empty()) scene->mLights = new aiLight*[lights_.size()]();
        aiNode& root = *scene->mRootNode;
        if (!nodes_.empty()) root.mChildren = new aiNode*[nodes_.size()]();
        for (const auto& child : nodes_) child->mParent = &root;
        handOver(materials_, scene->mMaterials, scene->mNumMaterials);
        handOver(meshes_, scene->mMeshes, scene->mNumMeshes);
        handOver(cameras_, scene->mCameras, scene->mNumCameras);
        handOver(lights_, scene->mLights, scene->mNumLights);
        handOver(nodes_, root.mChildren, root.mNumChildren);
        return scene;
    }

    void index(const Node& node) {
        byId_.emplace(node.id, &node);
        for (const Node& child : node.children) index(child);
    }

    // Names must tell the nodes apart: the glTF additions find nodes by name.
    std::string uniqueName(const std::string& raw, const char* fallback) {
        std::string base = names_(raw);
        if (base.empty()) base = fallback;
        std::string name = base;
        for (int n = 2; !usedNames_.insert(name).second; ++n) name = base + " #" + std::to_string(n);
        return name;
    }

    void visit(const Node& node) {
        if (node.type == kMeshNode) addMesh(node);
        else if (node.type == kCameraNode) addCamera(node);
        else if (node.type == kLightNode) addLight(node);
        for (const Node& child : node.children) visit(child);
    }

    static std::unique_ptr<aiMaterial> defaultMaterial(const std::string& name) {
        auto material = std::make_unique<aiMaterial>();
        setMaterialProperty(*material, aiString(name), AI_MATKEY_NAME);
        const aiColor4D grey(0.9f, 0.9f, 0.9f, 1.0f);
        setMaterialProperty(*material, grey, AI_MATKEY_COLOR_DIFFUSE);
        setMaterialProperty(*material, grey, AI_MATKEY_BASE_COLOR);
        setMaterialProperty(*material, 1, AI_MATKEY_TWOSIDED);
        return material;
    }

    static aiColor4D colourOf(const Motion* material, const char* field, aiColor4D fallback) {
        std::vector<float> c = floatsOf(material, field);
        if (c.size() < 3) return fallback;
        return aiColor4D(c[0], c[1], c[2], 1.0f);
    }

    // glTF's roughness from the renderer's shininess (a Phong exponent s):
    // sqrt(2 / (s + 2)), the usual match of a Phong lobe to a microfacet one:
    // s 0 gives 1 (matt), 10 gives 0.41, 60 gives 0.18.
    static float roughnessOf(float shininess) {
        return static_cast<float>(std::sqrt(2.0 / (std::max(shininess, 0.0f) + 2.0)));
    }

    std::unique_ptr<aiMaterial> materialFor(const Node& node, const std::string& name) {
        std::unique_ptr<aiMaterial> material = defaultMaterial(name);
        ConvertedMaterial info;
        info.name = name;
        const Motion* values = node.motion("motionMaterial");
        if (values) {
            // CAD faces have no reliable front side: every material shows both.
            const float opacity = 1.0f - preview::transparencyOf(values);
            // The opacity travels once, as its own value: writers that also
            // read the colour's alpha would apply it twice.
            aiColor4D diffuse = colourOf(values, "diffuse", aiColor4D(0.9f, 0.9f, 0.9f, 1.0f));
            setMaterialProperty(*material, diffuse, AI_MATKEY_COLOR_DIFFUSE);
            setMaterialProperty(*material, diffuse, AI_MATKEY_BASE_COLOR);
            aiColor4D ambient = colourOf(values, "ambient", aiColor4D(0, 0, 0, 1));
            aiColor4D specular = colourOf(values, "specular", aiColor4D(0, 0, 0, 1));
            aiColor4D emissive = colourOf(values, "emissive", aiColor4D(0, 0, 0, 1));
            setMaterialProperty(*material, ambient, AI_MATKEY_COLOR_AMBIENT);
            setMaterialProperty(*material, specular, AI_MATKEY_COLOR_SPECULAR);
            setMaterialProperty(*material, emissive, AI_MATKEY_COLOR_EMISSIVE);
            const float shininess = floatOf(values, "specularpower", 10.0f);
            setMaterialProperty(*material, shininess, AI_MATKEY_SHININESS);
            setMaterialProperty(*material, opacity, AI_MATKEY_OPACITY);
            const float colour[4] = {diffuse.r, diffuse.g, diffuse.b, opacity};
            for (int i = 0; i < 4; ++i)
                info.baseColour[i] = std::isfinite(colour[i]) ? std::clamp(colour[i], 0.0f, 1.0f) : 1.0f;
            const float glow[3] = {emissive.r, emissive.g, emissive.b};
            for (int i = 0; i < 3; ++i)
                info.emissive[i] = std::isfinite(glow[i]) ? std::clamp(glow[i], 0.0f, 1.0f) : 0.0f;
            info.roughness = roughnessOf(shininess);
        }
        if (const Motion* map = preview::colourMapOf(node)) {
            info.imageName = names_(map->field("fileName")->text);
            info.repeatU = intOf(map, "repeatx", 1) != 0;
            info.repeatV = intOf(map, "repeaty", 1) != 0;
            info.mixColour = intOf(map, "mixcolor", 0) != 0;
        }
        materialInfo_.push_back(std::move(info));
        if (!textureNames_) return material;
        // Texture file names: the first plain one as the colour map, a bump map as height.
        int colourMaps = 0, bumpMaps = 0;
        for (const Motion& motion : node.motions) {
            if (motion.name != "motionTexture" || !motion.payload) continue;
            const auto* file = motion.field("fileName");
            if (!file || file->text.empty()) continue;
            const aiString path(names_(file->text));
            const bool bump = floatOf(&motion, "bump", 0.0f) != 0.0f;
            if (bump) setMaterialProperty(*material, path, AI_MATKEY_TEXTURE(aiTextureType_HEIGHT, bumpMaps++));
            else setMaterialProperty(*material, path, AI_MATKEY_TEXTURE(aiTextureType_DIFFUSE, colourMaps++));
        }
        return material;
    }

    // Each count is set once its array exists, so that a mesh left half
    // filled by a failed allocation frees just what it has.
    static void fill(aiMesh& mesh, const ShadedMesh& shaded) {
        const std::size_t count = shaded.positions.size();
        mesh.mVertices = new aiVector3D[count];
        mesh.mNormals = new aiVector3D[count];
        mesh.mNumVertices = static_cast<unsigned>(count);
        std::transform(shaded.positions.begin(), shaded.positions.end(), mesh.mVertices, asAssimp);
        std::transform(shaded.normals.begin(), shaded.normals.end(), mesh.mNormals, asAssimp);
        if (!shaded.textureCoordinates.empty()) {
            mesh.mNumUVComponents[0] = 2;
            mesh.mTextureCoords[0] = new aiVector3D[count];
            for (std::size_t i = 0; i < count; ++i)
                mesh.mTextureCoords[0][i] =
                    aiVector3D(shaded.textureCoordinates[i][0], shaded.textureCoordinates[i][1], 0);
        }
        mesh.mFaces = new aiFace[shaded.faces.size()];
        mesh.mNumFaces = static_cast<unsigned>(shaded.faces.size());
        unsigned types = 0;
        for (std::size_t f = 0; f < shaded.faces.size(); ++f) {
            const auto& indices = shaded.faces[f];
            aiFace& face = mesh.mFaces[f];
            face.mIndices = new unsigned[indices.size()];
            face.mNumIndices = static_cast<unsigned>(indices.size());
            std::copy(indices.begin(), indices.end(), face.mIndices);
            types |= indices.size() == 3 ? aiPrimitiveType_TRIANGLE : aiPrimitiveType_POLYGON;
        }
        mesh.mPrimitiveTypes = types;
    }

    void addMesh(const Node& node) {
        if (!node.mesh || node.mesh->polygons.empty() || node.mesh->vertices.empty()) {
            ++skippedEmpty_;
            return;
        }
        const qmxread::MeshPayload& source = *node.mesh;
        const std::string name = uniqueName(node.name, "Mesh");
        auto mesh = std::make_unique<aiMesh>();
        mesh->mName = aiString(name);
        std::vector<base::Vec3f> points;
        for (const base::Vec3f& v : source.vertices) points.push_back(preview::toOutputAxes(v));
        std::vector<std::vector<std::uint32_t>> polygons;
        for (const auto& polygon : source.polygons) {
            if (polygon.indices.size() < 3) continue;
            droppedHoles_ += static_cast<long long>(polygon.holes.size());
            polygons.push_back(polygon.indices);
        }
        std::optional<preview::TextureMapping> mapping;
        if (const Motion* map = preview::colourMapOf(node))
            mapping = preview::textureMappingOf(*map, source.mappingType);
        const ShadedMesh shaded = preview::shadeMesh(points, polygons, source.smoothingAngle, mapping);
        droppedPolygons_ += static_cast<long long>(shaded.leftOut);
        if (shaded.faces.empty()) {
            ++skippedEmpty_;
            return;
        }
        fill(*mesh, shaded);
        mesh->mMaterialIndex = static_cast<unsigned>(materials_.size());
        materials_.push_back(materialFor(node, name));
        vertices_ += static_cast<long long>(source.vertices.size());
        polygons_ += mesh->mNumFaces;

        auto child = std::make_unique<aiNode>(name);
        child->mMeshes = new unsigned[1]{static_cast<unsigned>(meshes_.size())};
        child->mNumMeshes = 1;
        meshes_.push_back(std::move(mesh));
        nodes_.push_back(std::move(child));
    }

    // The point a camera or light node aims at: its target node's translation.
    bool targetOf(const Node& node, aiVector3D& out) const {
        auto found = byId_.find(static_cast<std::uint32_t>(node.targetId1));
        return node.targetId1 >= 0 && found != byId_.end() && translationOf(*found->second, out);
    }

    void addCamera(const Node& node) {
        aiVector3D eye, target;
        if (!translationOf(node, eye)) return;
        const Motion* parameters = node.motion("motionCameraParameter");
        ConvertedCamera info;
        info.nodeName = uniqueName(node.name, "Camera");
        const double usual = std::bit_cast<float>(camera_payload::kViewAngleBits);
        double viewAngle = floatOf(parameters, "viewAngle", static_cast<float>(usual));
        if (!(viewAngle > 1e-4 && viewAngle < 1.55)) viewAngle = usual;  // as the preview takes it
        int width = intOf(parameters, "pictureWidth", preview::kCameraPictureWidth);
        int height = intOf(parameters, "pictureHeight", preview::kCameraPictureHeight);
        if (width <= 0 || height <= 0) width = preview::kCameraPictureWidth, height = preview::kCameraPictureHeight;
        info.yfov = preview::verticalFieldOfView(viewAngle, width, height);
        info.aspect = static_cast<double>(width) / height;
        aiVector3D look = targetOf(node, target) ? target - eye : aiVector3D(0, 0, -1);
        placeCamera(info, eye, look);
    }

    // A scene without a usable camera gets the one `pelmora preview` frames
    // it with, so that viewers show it as the preview does.
    void addFramingCamera() {
        const preview::PreviewScene scene = preview::sceneFromQmx(file_);
        const int width = preview::kDefaultWidth, height = preview::kDefaultHeight;
        const preview::View view = preview::framingView(preview::sceneBounds(scene), width, height);
        ConvertedCamera info;
        info.nodeName = uniqueName("", "Camera");
        info.yfov = preview::verticalFieldOfView(preview::kDefaultViewAngle, width, height);
        info.aspect = static_cast<double>(width) / height;
        const auto toFloats = [](const preview::Vec3d& v) {
            return base::Vec3f{static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
        };
        placeCamera(info, place(toFloats(view.eye)), place(toFloats(view.forward)));
    }

    void placeCamera(const ConvertedCamera& info, const aiVector3D& eye, const aiVector3D& look) {
        auto camera = std::make_unique<aiCamera>();
        camera->mName = aiString(info.nodeName);
        camera->mPosition = aiVector3D(0, 0, 0);
        camera->mLookAt = aiVector3D(0, 0, -1);
        camera->mUp = aiVector3D(0, 1, 0);
        // Assimp's writers take the whole horizontal angle.
        camera->mHorizontalFOV = static_cast<float>(2.0 * std::atan(std::tan(0.5 * info.yfov) * info.aspect));
        camera->mAspect = static_cast<float>(info.aspect);
        camera->mClipPlaneNear = info.nearPlane;
        camera->mClipPlaneFar = info.farPlane;
        auto child = std::make_unique<aiNode>(info.nodeName);
        child->mTransformation = lookingAlong(eye, look);
        cameras_.push_back(std::move(camera));
        cameraInfo_.push_back(info);
        nodes_.push_back(std::move(child));
    }

    void addLight(const Node& node) {
        aiVector3D position, target;
        if (!translationOf(node, position)) return;
        ConvertedLight info;
        info.nodeName = uniqueName(node.name, "Light");
        const preview::LightReading reading = preview::readLight(node);
        info.kind = reading.kind == preview::LightKind::Directional ? ConvertedLight::Kind::Directional
                    : reading.kind == preview::LightKind::Spot      ? ConvertedLight::Kind::Spot
                                                                    : ConvertedLight::Kind::Point;
        for (int i = 0; i < 3; ++i) info.colour[i] = static_cast<float>(reading.colour[i]);
        info.hostIntensity = static_cast<float>(reading.hostIntensity);
        info.intensity = static_cast<float>(preview::physicalIntensity(reading, lightScale_));
        info.innerCone = static_cast<float>(reading.innerCone);
        info.outerCone = static_cast<float>(reading.outerCone);
        aiVector3D look = targetOf(node, target) ? target - position : aiVector3D(0, -1, 0);

        auto light = std::make_unique<aiLight>();
        light->mName = aiString(info.nodeName);
        light->mType = info.kind == ConvertedLight::Kind::Directional ? aiLightSource_DIRECTIONAL
                       : info.kind == ConvertedLight::Kind::Spot      ? aiLightSource_SPOT
                                                                      : aiLightSource_POINT;
        light->mPosition = aiVector3D(0, 0, 0);
        light->mDirection = aiVector3D(0, 0, -1);
        light->mUp = aiVector3D(0, 1, 0);
        const aiColor3D scaled(info.colour[0] * info.hostIntensity, info.colour[1] * info.hostIntensity,
                               info.colour[2] * info.hostIntensity);
        light->mColorDiffuse = scaled;
        light->mColorSpecular = scaled;
        light->mAttenuationConstant = 1.0f;
        light->mAngleInnerCone = info.innerCone;
        light->mAngleOuterCone = info.kind == ConvertedLight::Kind::Spot ? info.outerCone : static_cast<float>(kPi);
        auto child = std::make_unique<aiNode>(info.nodeName);
        child->mTransformation = lookingAlong(position, look);
        lights_.push_back(std::move(light));
        lightInfo_.push_back(info);
        nodes_.push_back(std::move(child));
    }

    const qmxread::QmxFile& file_;
    NameDecoder names_;
    bool textureNames_;
    double lightScale_;
    std::multimap<std::uint32_t, const Node*> byId_;
    std::set<std::string> usedNames_{"Scene"};
    // Owned here until the scene takes them.
    Owned<aiMaterial> materials_;
    Owned<aiMesh> meshes_;
    Owned<aiCamera> cameras_;
    Owned<aiLight> lights_;
    Owned<aiNode> nodes_;
    std::vector<ConvertedCamera> cameraInfo_;
    std::vector<ConvertedLight> lightInfo_;
    std::vector<ConvertedMaterial> materialInfo_;
    int skippedEmpty_ = 0;
    long long droppedHoles_ = 0;
    long long droppedPolygons_ = 0;
    long long vertices_ = 0, polygons_ = 0;
};

}  // namespace

ConvertedScene convertScene(const qmxread::QmxFile& file, const NameDecoder& names, bool textureNames,
                            double lightScale) {
    return Builder(file, names, textureNames, lightScale).run();
}

}  // namespace pelmora::tool
