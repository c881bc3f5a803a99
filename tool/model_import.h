// Imports a 3D model file (OBJ, PLY, STL, glTF/GLB and the other formats the
// Assimp library reads) into a drawing the emulated host can hold: one layer,
// one merged converted object per mesh placed in the node graph, classes from
// material or mesh names, the file's lights and its first camera.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>

#include "hostsim/drawing.h"

namespace pelmora::tool {

class ModelImportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class UpAxis { Auto, Y, Z };

struct ModelImportOptions {
    double unitMetres = 1.0;      // length of one model unit in metres
    UpAxis up = UpAxis::Auto;     // Auto: Z for STL and PLY, Y for the rest
    // Told the fraction read so far (0 to 1); giving false stops the import.
    std::function<bool(double)> progress;
};

// The type code given to imported meshes: an object the host converts into
// polygons, with vertex merging.
inline constexpr std::int16_t kImportedMeshType = 24;
inline constexpr const char* kImportedLayerName = "Model";

// True when the file's extension names a format the importer reads.
bool isModelFile(const std::string& path);

// Throws ModelImportError when the file cannot be read or holds no usable geometry.
hostsim::Drawing importModel(const std::string& path, const ModelImportOptions& options);

}  // namespace pelmora::tool
