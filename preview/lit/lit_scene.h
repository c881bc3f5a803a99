// The scene as the lit preview and the probe see it: each mesh's polygons
// with the normals and texture coordinates the conversion gives them, cut
// into triangles for the ray tracer; each surface's colour, picture, glow and
// transparency; the lights in physical units (preview/light_model.h).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "preview/light_model.h"
#include "preview/lit/picture_decode.h"
#include "preview/lit/ray_scene.h"
#include "preview/preview_scene.h"

namespace pelmora::preview {

struct LitSurface {
    std::array<double, 3> diffuse{0.9, 0.9, 0.9};  // linear RGB
    std::array<double, 3> emissive{0.0, 0.0, 0.0};
    double transparency = 0.0;
    int picture = -1;  // into LitScene::pictures(); -1: none
    bool repeatU = true, repeatV = true, mixColour = false;
};

struct LitMesh {
    std::string name;
    LitSurface surface;
    // Scene axes; corner normals smoothed by the mesh's smoothing angle.
    std::vector<Vec3f> positions, normals;
    std::vector<std::array<float, 2>> textureCoordinates;  // empty without a picture
    std::vector<std::array<std::uint32_t, 3>> triangles;
    // Per triangle: the unit normal of the polygon it was cut from, on the
    // side the converted model shows as the front.
    std::vector<Vec3f> faceNormals;
};

struct LitSettings {
    double lightScale = kDefaultLightScale;   // candela (lux) per unit of host intensity
    std::vector<std::string> pictureFolders;  // where texture pictures are looked for, in order
};

class LitScene {
public:
    LitScene(const PreviewScene& scene, const LitSettings& settings);

    const std::vector<LitMesh>& meshes() const { return meshes_; }
    const std::vector<PhysicalLight>& lights() const { return lights_; }
    const RayScene& rays() const { return rays_; }
    const std::vector<TexturePicture>& pictures() const { return pictures_; }
    // Texture pictures that could not be had, one sentence each.
    const std::vector<std::string>& problems() const { return problems_; }
    bool anyTransparent() const { return anyTransparent_; }
    // How far a ray starts off a surface so as not to meet it again: a
    // little more than the float precision of the scene's coordinates.
    double offset() const { return offset_; }
    double radius() const { return radius_; }

private:
    int pictureFor(const std::string& name, const std::vector<std::string>& folders);

    std::vector<LitMesh> meshes_;
    std::vector<PhysicalLight> lights_;
    RayScene rays_;
    std::vector<TexturePicture> pictures_;
    std::vector<std::string> pictureNames_;
    std::vector<std::string> problems_;
    bool anyTransparent_ = false;
    double offset_ = 1e-6, radius_ = 1.0;
};

}  // namespace pelmora::preview
