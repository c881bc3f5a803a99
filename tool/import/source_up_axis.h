// Which way is up in a model as the importer hands it over: the file's own
// statement where it makes one (FBX's UpAxis), else what its format holds to.
// Collada, 3DS, IFC and DXF come already turned Y-up by the importer;
// Blender, STL, PLY, 3MF and AMF are Z-up by convention; the rest (OBJ, glTF,
// X3D, ...) are Y-up. The README lists the same table.
#pragma once

#include <string>

#include <assimp/scene.h>

#include "tool/import/model_import.h"

namespace pelmora::tool {

// True when the model's up is its Y axis. `extension` is lower case with its
// point; `asked` is the user's choice (Auto lets the file decide).
bool modelIsYUp(const aiScene& scene, const std::string& extension, UpAxis asked);

}  // namespace pelmora::tool
