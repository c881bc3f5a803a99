// A model's material read as the template of its class: the colours, the
// opacity, the shininess and the refraction index. The scene file places
// textures by projection only, never by a mesh's texture coordinates, so a
// model's colour map cannot come along; where the material's colour is that
// map, the map's mean colour stands in for it.
#pragma once

#include <string>
#include <vector>

#include <assimp/scene.h>

#include "tool/import/imported_material.h"

namespace pelmora::tool {

// Reads `material` of `scene` (whose file is `modelPath`). The name of each
// colour map met is added to `leftOutMaps`.
ImportedMaterial readModelMaterial(const aiScene& scene, const aiMaterial& material, const std::string& modelPath,
                                   std::vector<std::string>& leftOutMaps);

// The one warning that names the colour maps left out; empty when none was.
std::string leftOutMapsWarning(const std::vector<std::string>& leftOutMaps);

}  // namespace pelmora::tool
