// What a preview needs of a QMX scene: meshes as flat vertex and polygon lists
// with their diffuse colour (and, for the lit preview, the rest of their
// surface), the camera with its aim point and view angle, and the lights with
// their aim points and values. Coordinates are the file's: metres, Y up.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "base/vec3.h"
#include "preview/light_model.h"
#include "preview/texture_mapping.h"
#include "qmxread/qmx_tree.h"

namespace pelmora::preview {

using base::Vec3d;

struct Colour {
    float red = 0.9f, green = 0.9f, blue = 0.9f;  // the default diffuse of a material
};

// What the lit preview needs beyond the colour, read as the conversion reads it.
struct MeshSurface {
    std::array<float, 3> emissive{0.0f, 0.0f, 0.0f};
    float transparency = 0.0f;              // 0 opaque to 1 clear
    double smoothingAngle = 0.0;            // radians
    std::optional<TextureMapping> mapping;  // with a colour map only
    std::string pictureName;                // the colour map's file name as the file gives it
    bool repeatU = true, repeatV = true;
    bool mixColour = false;  // the picture is tinted by the colour; else it replaces it
};

struct PreviewMesh {
    std::string name;
    Colour colour;
    MeshSurface surface;
    std::vector<Vec3d> vertices;
    // Polygon k uses indices[starts[k] .. starts[k + 1]); starts has one more entry than polygons.
    std::vector<std::uint32_t> indices;
    std::vector<std::uint32_t> starts{0};

    std::size_t polygonCount() const { return starts.size() - 1; }
    void addPolygon(std::initializer_list<std::uint32_t> polygon);
};

struct PreviewCamera {
    Vec3d eye;
    Vec3d target;
    double viewAngle = 0.0;  // radians, as the camera parameters carry it
    int pictureWidth = 0;    // the renderer's picture size; 0 when not given
    int pictureHeight = 0;
};

struct PreviewLight {
    std::string name;
    Vec3d position;
    std::optional<Vec3d> target;  // lights that shine everywhere have none
    LightReading reading;
};

struct PreviewScene {
    std::vector<PreviewMesh> meshes;
    std::vector<PreviewLight> lights;
    std::optional<PreviewCamera> camera;
    // Why the camera was not usable, when a camera node exists but cannot be used.
    std::string cameraProblem;
};

// The view angle a camera gets when its parameters do not give a usable one:
// the camera parameters' own default.
inline constexpr double kDefaultViewAngle = 0.785375;

// Builds the preview scene from a file read with payloads decoded. Meshes and
// lights are taken wherever they stand in the tree; their points are used as
// written (the exporter places everything in scene coordinates).
PreviewScene sceneFromQmx(const qmxread::QmxFile& file);

// Reads the file with the QMX reader; a corrupt file throws its ReadError.
PreviewScene loadPreviewScene(const std::string& path);

}  // namespace pelmora::preview
