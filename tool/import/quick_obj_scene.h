// The scene the general importer makes of a plain OBJ file (after sorting by
// primitive type): a root node with one child per object, each object's
// meshes in the order the file starts them, a mesh with triangles and larger
// polygons split into its triangles then its polygons, each material a name.
// Built from the quick reader's model (tool/model/obj_fast_parse.h), which is
// emptied on the way.
#pragma once

#include <memory>
#include <string>

#include <assimp/scene.h>

#include "tool/import/quick_obj_parse.h"

namespace pelmora::tool {

std::unique_ptr<aiScene> objScene(ObjModel&& model, const std::string& rootName);

}  // namespace pelmora::tool
