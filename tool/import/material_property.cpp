#include "tool/import/material_property.h"

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstring>
#include <memory>

namespace pelmora::tool {
namespace {

// Room for one more property; the table is only replaced once the larger one exists.
void makeRoom(aiMaterial& material) {
    if (material.mNumProperties < material.mNumAllocated) return;
    const unsigned room = std::max(2 * material.mNumAllocated, 8u);
    auto table = std::make_unique<aiMaterialProperty*[]>(room);
    std::copy(material.mProperties, material.mProperties + material.mNumProperties, table.get());
    delete[] material.mProperties;
    material.mProperties = table.release();
    material.mNumAllocated = room;
}

}  // namespace

void setMaterialProperty(aiMaterial& material, const void* bytes, unsigned size, const char* key, unsigned type,
                         unsigned index, aiPropertyTypeInfo info) {
    assert(bytes != nullptr && size > 0 && key != nullptr && std::strlen(key) < MAXLEN);
    // Everything that may fail comes first, while the material is untouched.
    auto property = std::make_unique<aiMaterialProperty>();
    property->mData = new char[size];
    std::memcpy(property->mData, bytes, size);
    property->mDataLength = size;
    property->mType = info;
    property->mSemantic = type;
    property->mIndex = index;
    property->mKey.length = static_cast<ai_uint32>(std::strlen(key));
    std::memcpy(property->mKey.data, key, property->mKey.length + 1);
    material.RemoveProperty(key, type, index);  // frees, never allocates
    makeRoom(material);
    material.mProperties[material.mNumProperties++] = property.release();
}

void setMaterialProperty(aiMaterial& material, const aiString& text, const char* key, unsigned type, unsigned index) {
    // As Assimp keeps a string: its 32-bit length, then its characters and their terminating zero.
    static_assert(offsetof(aiString, data) == sizeof(ai_uint32));
    setMaterialProperty(material, &text, static_cast<unsigned>(sizeof(ai_uint32) + text.length + 1), key, type, index,
                        aiPTI_String);
}

void setMaterialProperty(aiMaterial& material, const aiColor4D& colour, const char* key, unsigned type,
                         unsigned index) {
    setMaterialProperty(material, &colour, sizeof colour, key, type, index, aiPTI_Float);
}

void setMaterialProperty(aiMaterial& material, float value, const char* key, unsigned type, unsigned index) {
    setMaterialProperty(material, &value, sizeof value, key, type, index, aiPTI_Float);
}

void setMaterialProperty(aiMaterial& material, int value, const char* key, unsigned type, unsigned index) {
    setMaterialProperty(material, &value, sizeof value, key, type, index, aiPTI_Integer);
}

}  // namespace pelmora::tool
