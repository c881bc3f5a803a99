#include "tool/import/model_camera.h"

#include <cmath>
#include <cstdlib>

#include "preview/view_angle.h"
#include "tool/import/blend_active_camera.h"
#include "tool/import/collada_cameras.h"
#include "tool/import/model_import.h"

namespace pelmora::tool {
namespace {

constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;
// The view angles the preview and the conversion take (half the picture's
// diagonal angle, radians), a little inside their bounds.
constexpr double kWidestViewAngle = 1.54;
constexpr double kNarrowestViewAngle = 0.002;
constexpr double kPictureAspect =
    static_cast<double>(preview::kCameraPictureWidth) / static_cast<double>(preview::kCameraPictureHeight);

std::string cameraList(const aiScene& scene) {
    if (scene.mNumCameras == 0) return "the model has no cameras";
    std::string list = "its cameras:";
    for (unsigned i = 0; i < scene.mNumCameras; ++i)
        list += std::string(i == 0 ? " " : ", ") + std::to_string(i) + " \"" +
                documentName(scene.mCameras[i]->mName.C_Str()) + "\"";
    return list;
}

// The vertical angle from a horizontal one, both whole angles.
double verticalFromHorizontal(double horizontal, double aspect) {
    return 2.0 * std::atan(std::tan(0.5 * horizontal) / (aspect > 0.0 ? aspect : kPictureAspect));
}

double colladaVertical(const ColladaOptics& optics) {
    if (optics.yfov) return *optics.yfov * kRadiansPerDegree;
    return verticalFromHorizontal(*optics.xfov * kRadiansPerDegree, optics.aspect.value_or(0.0));
}

}  // namespace

const aiCamera* chooseCamera(const aiScene& scene, const std::string& wanted, const std::string& path,
                             const std::string& extension, const std::function<bool(const aiCamera&)>& placed) {
    if (!wanted.empty()) {
        for (unsigned i = 0; i < scene.mNumCameras; ++i)
            if (documentName(scene.mCameras[i]->mName.C_Str()) == wanted) return scene.mCameras[i];
        char* end = nullptr;
        const unsigned long index = std::strtoul(wanted.c_str(), &end, 10);
        if (!wanted.empty() && wanted.front() >= '0' && wanted.front() <= '9' && *end == '\0' &&
            index < scene.mNumCameras)
            return scene.mCameras[index];
        throw ModelImportError("--camera " + wanted + " names no camera of the model; " + cameraList(scene));
    }
    if (scene.mNumCameras == 0) return nullptr;
    if (extension == ".blend")
        if (const std::string active = blendActiveCamera(path); !active.empty())
            for (unsigned i = 0; i < scene.mNumCameras; ++i)
                if (active == scene.mCameras[i]->mName.C_Str()) return scene.mCameras[i];
    if (extension == ".gltf" || extension == ".glb")
        for (unsigned i = 0; i < scene.mNumCameras; ++i)
            if (placed(*scene.mCameras[i])) return scene.mCameras[i];
    return scene.mCameras[0];
}

double verticalAngleOf(const aiCamera& camera, const std::string& path, const std::string& extension) {
    const double horizontal = camera.mHorizontalFOV;
    // glTF gives the vertical angle, which its importer multiplies by the
    // aspect (by 1 when the file names none).
    if (extension == ".gltf" || extension == ".glb")
        return camera.mAspect > 0.0f ? horizontal / camera.mAspect : horizontal;
    if (extension == ".dae") {
        const auto optics = colladaCameraOptics(path);
        const auto found = optics.find(camera.mName.C_Str());
        if (found != optics.end() && (found->second.yfov || found->second.xfov)) return colladaVertical(found->second);
    }
    return verticalFromHorizontal(horizontal, camera.mAspect);
}

double widestVerticalAngle() {
    return preview::verticalFieldOfView(kWidestViewAngle, preview::kCameraPictureWidth, preview::kCameraPictureHeight);
}

double narrowestVerticalAngle() {
    return preview::verticalFieldOfView(kNarrowestViewAngle, preview::kCameraPictureWidth,
                                        preview::kCameraPictureHeight);
}

}  // namespace pelmora::tool
