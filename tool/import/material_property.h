// Sets a property of an Assimp material so that running out of memory throws
// std::bad_alloc and leaves the material whole, as it was: Assimp's own
// AddProperty then loses the new property and counts room it never got, and
// the next property added writes past the end of the material's table.
#pragma once

#include <assimp/material.h>

namespace pelmora::tool {

// Replaces any property with the same key, type and index. `size` > 0.
void setMaterialProperty(aiMaterial& material, const void* bytes, unsigned size, const char* key, unsigned type,
                         unsigned index, aiPropertyTypeInfo info);

void setMaterialProperty(aiMaterial& material, const aiString& text, const char* key, unsigned type, unsigned index);
void setMaterialProperty(aiMaterial& material, const aiColor4D& colour, const char* key, unsigned type, unsigned index);
void setMaterialProperty(aiMaterial& material, float value, const char* key, unsigned type, unsigned index);
void setMaterialProperty(aiMaterial& material, int value, const char* key, unsigned type, unsigned index);

}  // namespace pelmora::tool
