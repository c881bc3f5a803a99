// The material and texture motion items, and laying a template's given values
// over a freshly built payload.
#pragma once

#include <cstdint>

#include "plugin/scene_file/records.h"
#include "plugin/templates/params.h"

namespace pelmora {

struct Colour4 {
    float v[4];
};

// Each colour may be null; a given one is copied over its default. In the
// legacy layout a given diffuse has its red, green and blue scaled by a
// strength between 0 and 1 (exclusive). Gives 1, or 4.
int motionMaterial(MotionRecord& record, bool legacy, std::int32_t key, float strength, const Colour4* diffuse,
                   const Colour4* specular, const Colour4* transparent, const Colour4* reflexion,
                   const Colour4* emissive);

// Gives 2 and leaves the record untouched for a null or empty file name. A
// size with x <= 0 or y < 0 is not stored and sets bit 0x1 of textureFlags.
int motionTexture(MotionRecord& record, bool legacy, std::int32_t key, const char* fileName, std::int32_t mappingType,
                  float sizeX, float sizeY, std::uint8_t repeat);

// Lay the given values over a payload built by the builders above, recognised
// by its format code and size; a record without such a payload is left alone.
// Over a legacy payload each value goes to the legacy layout's own place for
// it (material: the six colours and the four optical values; texture: size,
// repeatx, repeaty); values it has no place for are skipped. Nothing is ever
// written outside the payload.
void applyMaterialTemplate(MotionRecord& record, const MaterialLayer& layer);
void applyTextureTemplate(MotionRecord& record, const TextureParams& texture);

}  // namespace pelmora
