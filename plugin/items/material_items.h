// The material and texture motion items, and laying a template's given values
// over a freshly built payload.
#pragma once

#include <cstdint>

#include "scene_file/records.h"
#include "templates/params.h"

namespace pelmora {

struct Colour4 {
    float v[4];
};

// Each colour may be null; a given one is copied over its default. Gives 1, or 4.
int motionMaterial(MotionRecord& record, bool legacy, std::int32_t key, float strength, const Colour4* diffuse,
                   const Colour4* specular, const Colour4* transparent, const Colour4* reflexion,
                   const Colour4* emissive);

// Gives 2 and leaves the record untouched for a null or empty file name.
int motionTexture(MotionRecord& record, bool legacy, std::int32_t key, const char* fileName,
                  std::int32_t mappingType, float sizeX, float sizeY, std::uint8_t repeat);

// Lay given values over a payload of the record's layout; a record without
// payload is left alone, and nothing is ever written outside the payload.
void applyMaterialTemplate(MotionRecord& record, const MaterialLayer& layer);
void applyTextureTemplate(MotionRecord& record, const TextureParams& texture);

}  // namespace pelmora
