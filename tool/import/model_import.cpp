#include "tool/import/model_import.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <new>
#include <optional>

#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <assimp/Importer.hpp>
#include <assimp/ProgressHandler.hpp>

#include "base/ascii_case.h"
#include "base/utf8.h"
#include "plugin/host/host_abi.h"
#include "plugin/payloads/payload_camera.h"
#include "preview/view_angle.h"
#include "tool/import/model_camera.h"
#include "tool/import/model_handoff.h"
#include "tool/import/model_material.h"
#include "tool/import/model_names.h"
#include "tool/import/quick_obj_parse.h"
#include "tool/import/quick_obj_scene.h"
#include "tool/import/shared_points.h"
#include "tool/import/source_up_axis.h"

namespace pelmora::tool {
namespace {

using hostsim::Point3;

constexpr double kMillimetresPerMetre = 1000.0;
constexpr double kDegreesPerRadian = 180.0 / 3.14159265358979323846;
constexpr std::size_t kMaxNameBytes = 255;
constexpr double kMinimumTargetDistance = 1.0;  // model units

}  // namespace

std::string documentName(std::string_view bytes) {
    // Each byte that does not start a complete, well-formed UTF-8 sequence is
    // read as Latin-1, the usual code page of such files; then the text is cut
    // at a character boundary so that no sequence is split.
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const std::size_t length = base::utf8SequenceLength(bytes, i);
        const bool wellFormed = length > 0;
        if (wellFormed) {
            if (text.size() + length > kMaxNameBytes) break;
            text.append(bytes.substr(i, length));
            i += length;
        } else {
            if (text.size() + 2 > kMaxNameBytes) break;
            text.push_back(static_cast<char>(0xC0 | (lead >> 6)));
            text.push_back(static_cast<char>(0x80 | (lead & 0x3F)));
            ++i;
        }
    }
    return text;
}

namespace {

// Model space (after the node transforms) to drawing space in millimetres;
// the tool places the handed-over points with the same arithmetic.
class Placement {
public:
    Placement(double unitMetres, bool yUp) : placement_{unitMetres * kMillimetresPerMetre, yUp} {}

    Point3 point(const aiVector3D& v) const { return placement_.point(v.x, v.y, v.z); }
    Point3 direction(const aiVector3D& v) const { return placement_.axes(v.x, v.y, v.z); }
    double length(double modelLength) const { return modelLength * placement_.scale; }
    const HandoffPlacement& handoff() const { return placement_; }

private:
    HandoffPlacement placement_;
};

double norm(const Point3& p) { return std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z); }
Point3 minus(const Point3& a, const Point3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Point3 scaled(const Point3& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
Point3 cross(const Point3& a, const Point3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

bool finite(const Point3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

class Importer {
public:
    Importer(const aiScene& scene, const std::string& path, const Placement& placement, bool cameraAtNode,
             HandoffWriter& out, const ModelImportOptions& options)
        : scene_(scene),
          path_(path),
          extension_(base::lowerExtension(path)),
          placement_(placement),
          names_(drawing_.codePage),
          cameraAtNode_(cameraAtNode),
          out_(out),
          options_(options) {
        drawing_.classes = {"None"};
        hostsim::Layer layer;
        layer.name = kImportedLayerName;
        drawing_.layers.push_back(std::move(layer));
        drawing_.activeLayer = kImportedLayerName;
    }

    // Meshes go to the handoff as they are converted; the lights and the
    // camera follow, then the class table and the warnings.
    void run() {
        collectNodeTransforms(scene_.mRootNode, aiMatrix4x4());
        for (const auto& [node, transform] : nodeTransforms_) faces_ += facesOf(*node);
        for (const auto& [node, transform] : nodeTransforms_) addMeshes(*node, transform);
        addLights();
        addCamera();
        if (meshObjects_ == 0) return;
        for (const auto& object : drawing_.layers.front().objects) out_.object(object, classIndex(object.className));
        if (drawing_.view) out_.view(*drawing_.view);
        addMaterials();
        for (const std::string& text : names_.warnings()) out_.warning(text);
        out_.finish(drawing_.classes);
    }

    std::size_t meshObjects() const { return meshObjects_; }

private:
    // A model's name as the drawing holds it: made valid UTF-8 and cut, then
    // in the drawing's code page, which may not hold every character.
    std::string cutName(const char* name) {
        return names_.hostName(documentName(name == nullptr ? std::string_view() : name));
    }

    void collectNodeTransforms(const aiNode* node, const aiMatrix4x4& parent) {
        if (!node) return;
        aiMatrix4x4 global = parent * node->mTransformation;
        nodeTransforms_.emplace_back(node, global);
        nodeByName_.emplace(node->mName.C_Str(), nodeTransforms_.size() - 1);
        for (unsigned i = 0; i < node->mNumChildren; ++i) collectNodeTransforms(node->mChildren[i], global);
    }

    const aiMatrix4x4* transformOf(const aiString& name) const {
        auto found = nodeByName_.find(name.C_Str());
        return found == nodeByName_.end() ? nullptr : &nodeTransforms_[found->second].second;
    }

    std::uint32_t classIndex(const std::string& name) const {
        const auto found = std::find(drawing_.classes.begin(), drawing_.classes.end(), name);
        return static_cast<std::uint32_t>(found - drawing_.classes.begin());
    }

    // The class of a mesh: its material's name, else its own. A material of
    // the model (not the importer's stand-in) gives the class its look.
    std::string classFor(const aiMesh& mesh) {
        std::string name;
        bool ownMaterial = false;
        if (mesh.mMaterialIndex < scene_.mNumMaterials) {
            aiString materialName;
            if (scene_.mMaterials[mesh.mMaterialIndex]->Get(AI_MATKEY_NAME, materialName) == AI_SUCCESS)
                name = materialName.C_Str();
            ownMaterial = name != AI_DEFAULT_MATERIAL_NAME;
        }
        if (name.empty() || name == AI_DEFAULT_MATERIAL_NAME) name = mesh.mName.C_Str();
        if (name.empty()) return drawing_.classes.front();
        name = cutName(name.c_str());
        if (std::find(drawing_.classes.begin(), drawing_.classes.end(), name) == drawing_.classes.end()) {
            drawing_.classes.push_back(name);
            if (ownMaterial) materialOfClass_.emplace_back(name, mesh.mMaterialIndex);
        }
        return name;
    }

    // Each class with a material of the model gets its look; the colour maps
    // left out are named in one warning.
    void addMaterials() {
        std::vector<std::string> leftOutMaps;
        for (const auto& [name, index] : materialOfClass_)
            out_.material(readModelMaterial(scene_, *scene_.mMaterials[index], path_, leftOutMaps), classIndex(name));
        if (std::string text = leftOutMapsWarning(leftOutMaps); !text.empty()) out_.warning(text);
    }

    std::size_t facesOf(const aiNode& node) const {
        std::size_t faces = 0;
        for (unsigned m = 0; m < node.mNumMeshes; ++m)
            if (node.mMeshes[m] < scene_.mNumMeshes) faces += scene_.mMeshes[node.mMeshes[m]]->mNumFaces;
        return faces;
    }

    void addMeshes(const aiNode& node, const aiMatrix4x4& transform) {
        for (unsigned m = 0; m < node.mNumMeshes; ++m) {
            if (node.mMeshes[m] >= scene_.mNumMeshes) continue;
            const aiMesh& mesh = *scene_.mMeshes[node.mMeshes[m]];
            HandoffMesh out;
            if (!convertMesh(mesh, transform, out)) continue;
            if (out.counts.size() > hostsim::kMaxArrayLength)
                throw ModelImportError("mesh \"" + documentName(mesh.mName.C_Str()) + "\" has " +
                                       std::to_string(out.counts.size()) + " faces; a drawing's object holds at most " +
                                       std::to_string(hostsim::kMaxArrayLength));
            out.type = kImportedMeshType;
            out.classIndex = classIndex(classFor(mesh));
            out.name = cutName(mesh.mName.C_Str());
            out_.mesh(out);
            ++meshObjects_;
        }
    }

    // The mesh's points after the node transform and its usable faces; false
    // when no face is usable.
    bool convertMesh(const aiMesh& mesh, const aiMatrix4x4& transform, HandoffMesh& out) {
        out.points.resize(std::size_t{mesh.mNumVertices} * 3);
        std::vector<bool> usablePoint(mesh.mNumVertices);
        for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
            const aiVector3D moved = transform * mesh.mVertices[v];
            out.points[std::size_t{v} * 3] = moved.x;
            out.points[std::size_t{v} * 3 + 1] = moved.y;
            out.points[std::size_t{v} * 3 + 2] = moved.z;
            usablePoint[v] = finite(placement_.point(moved));
        }
        std::vector<bool> usedPoint(mesh.mNumVertices);
        out.counts.reserve(mesh.mNumFaces);
        out.indices.reserve(std::size_t{mesh.mNumFaces} * 3);
        for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
            const aiFace& face = mesh.mFaces[f];
            // Points and lines have no surface; the host's polygons count
            // their vertices in 16 bits.
            if (face.mNumIndices < 3 || face.mNumIndices > kMaxHandoffCorners) continue;
            bool usable = true;
            for (unsigned i = 0; i < face.mNumIndices && usable; ++i)
                usable = face.mIndices[i] < mesh.mNumVertices && usablePoint[face.mIndices[i]];
            if (!usable) continue;
            out.counts.push_back(face.mNumIndices);
            for (unsigned i = 0; i < face.mNumIndices; ++i) {
                out.indices.push_back(face.mIndices[i]);
                usedPoint[face.mIndices[i]] = true;
            }
            if ((++facesDone_ & 0xFFFF) == 0 && options_.progress)
                options_.progress(static_cast<double>(facesDone_) / static_cast<double>(faces_));
        }
        for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
            const float* xyz = &out.points[std::size_t{v} * 3];
            if (usedPoint[v]) widenBounds(placement_.point(aiVector3D(xyz[0], xyz[1], xyz[2])));
        }
        sharePoints(out);
        return !out.counts.empty();
    }

    void widenBounds(const Point3& p) {
        low_ = {std::min(low_.x, p.x), std::min(low_.y, p.y), std::min(low_.z, p.z)};
        high_ = {std::max(high_.x, p.x), std::max(high_.y, p.y), std::max(high_.z, p.z)};
        anyPoint_ = true;
    }

    void addLights() {
        for (unsigned i = 0; i < scene_.mNumLights; ++i) {
            const aiLight& light = *scene_.mLights[i];
            std::int16_t kind;
            switch (light.mType) {
                case aiLightSource_DIRECTIONAL:
                    kind = host::kLightDirectional;
                    break;
                case aiLightSource_SPOT:
                    kind = host::kLightSpot;
                    break;
                case aiLightSource_POINT:
                case aiLightSource_AREA:
                    kind = host::kLightPoint;
                    break;
                default:
                    continue;  // ambient light has no place
            }
            aiMatrix4x4 transform;
            if (const aiMatrix4x4* found = transformOf(light.mName)) transform = *found;
            aiMatrix3x3 rotation(transform);
            Point3 position = placement_.point(transform * light.mPosition);
            Point3 direction = placement_.direction(rotation * light.mDirection);
            if (!finite(position) || !finite(direction)) continue;

            // The colour of the file may carry the intensity (glTF multiplies
            // them); the host keeps them apart, colour within 0 to 1.
            double red = light.mColorDiffuse.r, green = light.mColorDiffuse.g, blue = light.mColorDiffuse.b;
            double intensity = std::max({red, green, blue});
            if (!(intensity > 0.0) || !std::isfinite(intensity)) {
                intensity = 1.0;
                red = green = blue = 1.0;
            } else {
                red /= intensity;
                green /= intensity;
                blue /= intensity;
            }

            hostsim::DrawingObject object;
            object.type = hostsim::kCodeLight;
            object.className = drawing_.classes.front();
            object.name = cutName(light.mName.C_Str());
            auto set = [&object](std::int32_t number, hostsim::PropertyValue value) {
                object.properties[number] = value;
            };
            set(host::kLightFlag, boolValue(true));
            set(host::kLightIntensity, doubleValue(intensity));
            set(host::kLightColour, pointValue({red, green, blue}));
            set(host::kLightMode, boolValue(false));
            set(host::kLightPosition, pointValue(position));
            set(host::kLightKind, intValue(kind));
            set(host::kLightDirection, pointValue(direction));
            if (kind == host::kLightSpot) {
                set(host::kLightConeA, doubleValue(light.mAngleInnerCone * kDegreesPerRadian));
                set(host::kLightConeB, doubleValue(light.mAngleOuterCone * kDegreesPerRadian));
            }
            drawing_.layers.front().objects.push_back(std::move(object));
        }
    }

    // The host's view maps a point P to R (P - O); the eye is the mapping of
    // (0, 0, d) and the target that of the origin. So d is the distance from
    // eye to target, R's third column points from target to eye, and
    // O = -R^T target.
    void addCamera() {
        const aiCamera* chosen = chooseCamera(scene_, options_.camera, path_, extension_,
                                              [this](const aiCamera& c) { return transformOf(c.mName) != nullptr; });
        if (chosen == nullptr) return;
        const aiCamera& camera = *chosen;
        aiMatrix4x4 transform;
        if (const aiMatrix4x4* found = transformOf(camera.mName)) transform = *found;
        aiMatrix3x3 rotation(transform);

        // glTF places a camera by its node alone; the importer copies the
        // node's translation into the camera as well, which would count it twice.
        Point3 eye = placement_.point(transform * (cameraAtNode_ ? aiVector3D() : camera.mPosition));
        Point3 look = placement_.direction(rotation * camera.mLookAt);
        double lookLength = norm(look);
        if (!finite(eye) || !(lookLength > 0.0) || !std::isfinite(lookLength)) return;
        look = scaled(look, 1.0 / lookLength);
        double reach = std::max(placement_.length(kMinimumTargetDistance), distanceToModel(eye, look));
        Point3 target{eye.x + look.x * reach, eye.y + look.y * reach, eye.z + look.z * reach};

        Point3 w = scaled(look, -1.0);  // from target to eye, unit length
        Point3 helper = std::abs(w.z) < 0.9 ? Point3{0, 0, 1} : Point3{1, 0, 0};
        Point3 u = cross(helper, w);
        u = scaled(u, 1.0 / norm(u));
        Point3 v = cross(w, u);

        hostsim::View view;
        view.perspective = camera.mOrthographicWidth == 0.0f;
        view.rotation = {{{u.x, v.x, w.x}, {u.y, v.y, w.y}, {u.z, v.z, w.z}}};
        // O = -R^T target, the rows of R^T being u, v and w.
        view.origin = {-(u.x * target.x + u.y * target.y + u.z * target.z),
                       -(v.x * target.x + v.y * target.y + v.z * target.z),
                       -(w.x * target.x + w.y * target.y + w.z * target.z)};
        view.distance = reach;
        // The host's view gives the plug-in atan(box half height / focal) times
        // the view-angle factor as the view angle.
        view.focal = 1.0;
        const double viewAngle = preview::viewAngleForVerticalFieldOfView(
            heldVerticalAngle(camera), preview::kCameraPictureWidth, preview::kCameraPictureHeight);
        const double half = std::tan(viewAngle / camera_payload::kViewAngleFactor);
        view.box = {-half, -half, half, half};
        drawing_.view = view;
    }

    // The camera's vertical angle within what the scene file holds; one
    // outside is brought to the nearest it holds, and the person told.
    double heldVerticalAngle(const aiCamera& camera) {
        const double wanted = verticalAngleOf(camera, path_, extension_);
        const double held =
            std::clamp(std::isfinite(wanted) ? wanted : 0.0, narrowestVerticalAngle(), widestVerticalAngle());
        if (held != wanted) {
            char angles[160];
            std::snprintf(angles, sizeof angles,
                          " sees %.2f° vertically, %s than the scene file holds; exported with %.2f°",
                          wanted * kDegreesPerRadian, wanted > held ? "wider" : "narrower", held * kDegreesPerRadian);
            out_.warning("the camera \"" + documentName(camera.mName.C_Str()) + "\"" + angles);
        }
        return held;
    }

    // How far along `look` from `eye` the middle of the imported geometry lies.
    double distanceToModel(const Point3& eye, const Point3& look) const {
        if (!anyPoint_) return 0.0;
        Point3 middle = scaled(Point3{low_.x + high_.x, low_.y + high_.y, low_.z + high_.z}, 0.5);
        Point3 toMiddle = minus(middle, eye);
        return toMiddle.x * look.x + toMiddle.y * look.y + toMiddle.z * look.z;
    }

    static hostsim::PropertyValue boolValue(bool b) {
        hostsim::PropertyValue value;
        value.kind = hostsim::PropertyValue::Kind::Bool;
        value.boolValue = b;
        return value;
    }
    static hostsim::PropertyValue intValue(std::int16_t i) {
        hostsim::PropertyValue value;
        value.kind = hostsim::PropertyValue::Kind::Int16;
        value.intValue = i;
        return value;
    }
    static hostsim::PropertyValue doubleValue(double d) {
        hostsim::PropertyValue value;
        value.kind = hostsim::PropertyValue::Kind::Double;
        value.doubleValue = d;
        return value;
    }
    static hostsim::PropertyValue pointValue(const Point3& p) {
        hostsim::PropertyValue value;
        value.kind = hostsim::PropertyValue::Kind::Point;
        value.pointValue = p;
        return value;
    }

    const aiScene& scene_;
    const std::string& path_;
    const std::string extension_;
    const Placement& placement_;
    hostsim::Drawing drawing_;
    CodePageNames names_;
    std::vector<std::pair<const aiNode*, aiMatrix4x4>> nodeTransforms_;
    std::multimap<std::string, std::size_t> nodeByName_;
    std::vector<std::pair<std::string, unsigned>> materialOfClass_;  // class, material index
    std::size_t meshObjects_ = 0;
    bool cameraAtNode_;  // the glTF importer: the camera lies at its node, its angle is linear in the aspect
    HandoffWriter& out_;
    const ModelImportOptions& options_;
    std::size_t faces_ = 0;
    std::size_t facesDone_ = 0;
    Point3 low_{HUGE_VAL, HUGE_VAL, HUGE_VAL}, high_{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    bool anyPoint_ = false;
};

// Hands Assimp's progress to the caller's function (the importer owns it).
class ProgressRelay : public Assimp::ProgressHandler {
public:
    explicit ProgressRelay(std::function<bool(double)> report) : report_(std::move(report)) {}
    bool Update(float percentage) override { return report_(percentage < 0.0f ? 0.0 : percentage); }

private:
    std::function<bool(double)> report_;
};

}  // namespace

bool isModelFile(const std::string& path) {
    std::string ext = base::lowerExtension(path);
    if (ext.size() < 2 || ext == ".json") return false;
    Assimp::Importer importer;
    return importer.IsExtensionSupported(ext);
}

namespace {

// Assimp's scene of the file, owned by `importer`.
const aiScene* readWithAssimp(Assimp::Importer& importer, const std::string& path, const ModelImportOptions& options) {
    // Lines and points are dropped; the faces are kept as the file gives them.
    importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE, aiPrimitiveType_POINT | aiPrimitiveType_LINE);
    if (options.progress) importer.SetProgressHandler(new ProgressRelay(options.progress));
    const aiScene* scene = importer.ReadFile(path, aiProcess_SortByPType | aiProcess_ValidateDataStructure);
    if (!scene || !scene->mRootNode) {
        const std::string why = importer.GetErrorString();
        if (why.find("No meshes remaining") != std::string::npos)
            throw ModelImportError(path + " holds only lines or points: there are no surfaces (faces) to export");
        // The importer turns its own out-of-memory failure into a message.
        if (why.find("bad_alloc") != std::string::npos) throw std::bad_alloc();
        throw ModelImportError("cannot import " + path + ": " + why);
    }
    return scene;
}

// The same scene from the quick reader, for the plain OBJ files it takes
// (most exports); null when it leaves the file to Assimp.
std::unique_ptr<aiScene> readQuickly(const std::string& path, const ModelImportOptions& options) {
    std::optional<ObjModel> model = parseSimpleObj(path, options.progress);
    if (!model) return nullptr;
    return objScene(std::move(*model), std::filesystem::path(path).filename().string());
}

}  // namespace

void importModelInto(const std::string& path, const ModelImportOptions& options, const HandoffWriter::Sink& sink,
                     ObjReader objReader) {
    if (!(options.unitMetres > 0.0) || !std::isfinite(options.unitMetres))
        throw ModelImportError("the model unit must be a positive length in metres");
    const std::string ext = base::lowerExtension(path);
    std::unique_ptr<aiScene> quick;
    if (objReader == ObjReader::Quick && ext == ".obj") quick = readQuickly(path, options);
    Assimp::Importer importer;
    const aiScene* scene = quick ? quick.get() : readWithAssimp(importer, path, options);
    if ((scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE) || scene->mNumMeshes == 0)
        throw ModelImportError(path + " holds no surfaces to export");

    if (options.phase) options.phase(ImportPhase::Converting);
    if (options.progress) options.progress(0.0);
    const bool yUp = modelIsYUp(*scene, ext, options.up);
    Placement placement(options.unitMetres, yUp);
    HandoffWriter out(sink, hostsim::Drawing().codePage, placement.handoff());
    Importer reader(*scene, path, placement, ext == ".gltf" || ext == ".glb", out, options);
    reader.run();
    if (reader.meshObjects() == 0) throw ModelImportError(path + " holds no surfaces to export");
    if (options.handedOver) options.handedOver();
}

}  // namespace pelmora::tool
