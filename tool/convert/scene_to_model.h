// A read QMX scene as an Assimp scene, for the formats viewers open: one node
// and mesh per mesh node with its polygons, normals and texture coordinates,
// one material per mesh from its motionMaterial values and texture file
// names, the camera and the lights.
// Coordinates stay in metres with Y up; the third axis is turned round so
// that the scene is right-handed as glTF, OBJ, PLY and STL expect (the QMX
// axes are the drawing's with Y and Z swapped, a mirror image).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <assimp/scene.h>

#include "qmxread/qmx_tree.h"
#include "tool/convert/name_decoder.h"

namespace pelmora::tool {

// What a converted light or camera is, for the formats Assimp's writer gives
// no place to (glTF cameras and lights are added to its output afterwards).
struct ConvertedCamera {
    std::string nodeName;
    double yfov = 0.0;  // the whole vertical angle, radians
    double aspect = 4.0 / 3.0;
    float nearPlane = 0.05f, farPlane = 30000.0f;
};

// Read by the one light model (preview/light_model.h), as the lit preview reads it.
struct ConvertedLight {
    std::string nodeName;
    enum class Kind { Directional, Point, Spot } kind = Kind::Point;
    float colour[3] = {1.0f, 1.0f, 1.0f};
    float hostIntensity = 1.0f;                // unitless, for formats whose lights have no unit
    float intensity = 1.0f;                    // candela (point, spot) or lux (directional), for glTF
    float innerCone = 0.0f, outerCone = 0.0f;  // full angles, radians
};

// A material as glTF's core metallic-roughness model holds it, one per mesh
// in the scene's material order.
struct ConvertedMaterial {
    std::string name;
    float baseColour[4] = {0.9f, 0.9f, 0.9f, 1.0f};  // the fourth is the opacity
    float roughness = 1.0f;
    float emissive[3] = {0.0f, 0.0f, 0.0f};
    std::string imageName;  // the colour map's file name as the scene gives it; empty: none
    bool repeatU = true, repeatV = true;
    bool mixColour = false;  // the picture is tinted by the base colour; else it replaces it
};

struct ConvertedScene {
    std::unique_ptr<aiScene> scene;
    std::vector<ConvertedCamera> cameras;
    std::vector<ConvertedLight> lights;
    std::vector<ConvertedMaterial> materials;
    int meshes = 0;
    int skippedEmptyMeshes = 0;
    long long droppedHoles = 0;
    long long droppedPolygons = 0;  // with a corner that is not a finite point
    long long vertices = 0, polygons = 0;
};

// Needs a file read with decoded payloads. Names and texture file names are
// written as UTF-8, decoded by `names`. Every mesh gets normals from its
// smoothing angle and, with a colour map, texture coordinates from its
// mapping. With `textureNames` the materials name their texture files
// (glTF output leaves them out: its pictures are added afterwards).
// `lightScale`: candela (lux) per unit of the host's light intensity.
ConvertedScene convertScene(const qmxread::QmxFile& file, const NameDecoder& names = NameDecoder(),
                            bool textureNames = true, double lightScale = 1000.0);

}  // namespace pelmora::tool
