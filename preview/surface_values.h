// What a mesh node says about its surface, read once for the conversion and
// the lit preview: the colour map among its textures, how that map lies on
// the mesh, its transparency.
#pragma once

#include "preview/texture_mapping.h"
#include "qmxread/qmx_tree.h"

namespace pelmora::preview {

// The first texture that is no bump map: the colour map; none without one.
const qmxread::Motion* colourMapOf(const qmxread::Node& node);

// How the colour map lies on the mesh, from the texture's values and the
// mesh payload's mapping type.
TextureMapping textureMappingOf(const qmxread::Motion& map, int mappingType);

// The material's transparency from 0 (opaque) to 1: the largest channel of
// its `transparent` colour; 0 when it gives none.
float transparencyOf(const qmxread::Motion* material);

}  // namespace pelmora::preview
