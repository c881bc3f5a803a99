// The parameter records that template sections fill. Every value but the
// material kind, hasMaterial and the texture file name carries a `given` flag,
// so that an item built from a template overrides only what the template names.
#pragma once

#include <cstdint>
#include <string>

namespace pelmora {

struct ColorValue {
    float red = 0.0f, green = 0.0f, blue = 0.0f, alpha = 0.0f;
    bool given = false;
};

template <class T>
struct Given {
    T value{};
    bool given = false;
};

struct Float2 {
    float v[2] = {0.0f, 0.0f};
};
struct Float3 {
    float v[3] = {0.0f, 0.0f, 0.0f};
};

struct MaterialLayer {
    // The one parameter given from the start: a layer that names no diffuse
    // colour still hands (0, 0, 0, 0) to the material item.
    ColorValue diffuse{0.0f, 0.0f, 0.0f, 0.0f, true};
    ColorValue specular;
    ColorValue transparent;
    ColorValue reflexion;
    ColorValue ambient;
    ColorValue emissive;
    Given<double> specularpower;
    Given<double> refractionindex;
    Given<double> maxreflexiondistance;
    Given<double> maxtransparencedistance;
};

struct MaterialParams {
    std::int32_t kind = 1;  // motionMaterial, the only kind a stored template carries
    MaterialLayer layers[4];
    Given<std::int32_t> type;
    Given<std::int32_t> noise;
    Given<double> noiseamplitude;
    Given<Float3> noisefrequence;
    Given<Float3> size;
    bool hasMaterial = false;
};

struct TextureParams {
    std::string fileName;
    Given<std::int32_t> keepratio{1, false};
    Given<Float2> position;
    Given<Float2> size;    // already scaled by 0.001 when read
    Given<double> rotate;  // degrees as written
    Given<std::int32_t> repeatx;
    Given<std::int32_t> repeaty;
    Given<std::int32_t> invertx;
    Given<std::int32_t> inverty;
    Given<double> bump;
    Given<std::int32_t> apply;
    Given<std::int32_t> mappingtype;
    Given<std::int32_t> cutout;
    ColorValue cutoutcolor;
    ColorValue deltacutout;
    Given<std::int32_t> mixcolor;
};

}  // namespace pelmora
