// What a preview needs of a QMX scene: meshes as flat vertex and polygon lists
// with their diffuse colour, the camera with its aim point and view angle, and
// the lights with their aim points. Coordinates are the file's: metres, Y up.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "base/vec3.h"
#include "qmxread/qmx_tree.h"

namespace pelmora::preview {

using base::Vec3d;

struct Colour {
    float red = 0.9f, green = 0.9f, blue = 0.9f;  // the default diffuse of a material
};

struct PreviewMesh {
    std::string name;
    Colour colour;
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
