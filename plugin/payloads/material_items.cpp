#include "plugin/payloads/material_items.h"

#include <cstddef>

#include "plugin/payloads/motion_builders.h"
#include "plugin/payloads/payload_codec.h"
#include "plugin/payloads/payload_material.h"
#include "plugin/payloads/payload_texture.h"
#include "plugin/scene_file/result_code.h"

namespace pelmora {

namespace {

enum class Layout { kNone, kCurrent, kLegacy };

// Which layout a record's payload has, judged by its format code and exact
// size; kNone for a record without payload or with a payload of another kind.
Layout layoutOf(const MotionRecord& record, std::int32_t currentFormat, std::int32_t currentSize,
                std::int32_t legacyFormat, std::int32_t legacySize) {
    if (record.data == nullptr) return Layout::kNone;
    if (record.dataFormat == currentFormat && record.dataSize == currentSize) return Layout::kCurrent;
    if (record.dataFormat == legacyFormat && record.dataSize == legacySize) return Layout::kLegacy;
    return Layout::kNone;
}

// Writes into a record's payload; a field that would not lie wholly inside it
// is skipped, so a layout mix-up can never write past the block.
class PayloadWriter {
public:
    explicit PayloadWriter(MotionRecord& record) : data_(record.data), size_(record.dataSize) {}

    void i32(std::int32_t offset, std::int32_t v) {
        if (fits(offset, 4)) payload::putI32(data_, static_cast<std::size_t>(offset), v);
    }
    void f32(std::int32_t offset, float v) {
        if (fits(offset, 4)) payload::putF32(data_, static_cast<std::size_t>(offset), v);
    }
    void colour(std::int32_t offset, const float c[4]) {
        if (!fits(offset, 16)) return;
        for (int i = 0; i < 4; ++i) payload::putF32(data_, static_cast<std::size_t>(offset + 4 * i), c[i]);
    }
    void colour(std::int32_t offset, const ColorValue& c) {
        const float v[4] = {c.red, c.green, c.blue, c.alpha};
        colour(offset, v);
    }

private:
    bool fits(std::int32_t offset, std::int32_t bytes) const {
        return data_ != nullptr && offset >= 0 && size_ >= bytes && offset <= size_ - bytes;
    }
    std::uint8_t* data_;
    std::int32_t size_;
};

void putColour(std::uint8_t* buf, std::int32_t offset, const float c[4]) {
    for (int i = 0; i < 4; ++i) payload::putF32(buf, static_cast<std::size_t>(offset + 4 * i), c[i]);
}

// Offsets of the four optical values in one layout.
struct ScalarOffsets {
    std::int32_t specularPower, refractionIndex, maxReflexionDistance, maxTransparenceDistance;
};

constexpr ScalarOffsets kCurrentScalars = {
    material_payload::current::kSpecularPower, material_payload::current::kRefractionIndex,
    material_payload::current::kMaxReflexionDistance, material_payload::current::kMaxTransparenceDistance};
constexpr ScalarOffsets kLegacyScalars = {
    material_payload::legacy::kSpecularPower, material_payload::legacy::kRefractionIndex,
    material_payload::legacy::kMaxReflexionDistance, material_payload::legacy::kMaxTransparenceDistance};

// Template rotations are in degrees; the payload holds radians.
constexpr double kPi = 3.1415926535898;

}  // namespace

int motionMaterial(MotionRecord& record, bool legacy, std::int32_t key, float strength, const Colour4* diffuse,
                   const Colour4* specular, const Colour4* transparent, const Colour4* reflexion,
                   const Colour4* emissive) {
    namespace mat = material_payload;
    startMotion(record, legacy, kNameMaterial, key);
    const std::int32_t size = legacy ? mat::legacy::kSize : mat::current::kSize;
    std::uint8_t* buf = payload::allocate(static_cast<std::size_t>(size));
    if (buf == nullptr) return kOutOfMemory;

    const float* defaultDiffuse = legacy ? mat::legacy::kDefaultDiffuse : mat::current::kDefaultDiffuse;
    if (legacy) {
        payload::writeDefaults(buf, mat::legacy::kDefaults);
        putColour(buf, mat::kSpecular, mat::legacy::kDefaultSpecular);
    } else {
        payload::writeDefaults(buf, mat::current::kDefaults);
        putColour(buf, mat::kSpecular, mat::current::kDefaultSpecular);
    }
    // The ambient default comes from the default diffuse, never from a given one.
    float ambient[4];
    for (int i = 0; i < 4; ++i) ambient[i] = defaultDiffuse[i] * mat::kAmbientShare;
    putColour(buf, mat::kAmbient, ambient);

    if (diffuse != nullptr) {
        float c[4] = {diffuse->v[0], diffuse->v[1], diffuse->v[2], diffuse->v[3]};
        if (legacy && strength > 0.0f && strength < 1.0f) {
            for (int i = 0; i < 3; ++i) c[i] *= strength;  // the fourth component is never scaled
        }
        putColour(buf, mat::kDiffuse, c);
    } else {
        putColour(buf, mat::kDiffuse, defaultDiffuse);
    }
    if (specular != nullptr) putColour(buf, mat::kSpecular, specular->v);
    if (transparent != nullptr) putColour(buf, mat::kTransparent, transparent->v);
    if (reflexion != nullptr) putColour(buf, mat::kReflexion, reflexion->v);
    if (emissive != nullptr) putColour(buf, mat::kEmissive, emissive->v);

    record.attach(buf, size, legacy ? mat::legacy::kFormat : mat::current::kFormat);
    return kDone;
}

int motionTexture(MotionRecord& record, bool legacy, std::int32_t key, const char* fileName, std::int32_t mappingType,
                  float sizeX, float sizeY, std::uint8_t repeat) {
    namespace tex = texture_payload;
    if (fileName == nullptr || fileName[0] == '\0') return kNothingDone;
    startMotion(record, legacy, kNameTexture, key);
    record.dataFormat = tex::current::kFormat;
    const std::int32_t size = legacy ? tex::legacy::kSize : tex::current::kSize;
    std::uint8_t* buf = payload::allocate(static_cast<std::size_t>(size));
    if (buf == nullptr) return kOutOfMemory;

    const std::int32_t sizeAt = legacy ? tex::legacy::kSizeXY : tex::current::kSizeXY;
    const std::int32_t repeatXAt = legacy ? tex::legacy::kRepeatX : tex::current::kRepeatX;
    const std::int32_t repeatYAt = legacy ? tex::legacy::kRepeatY : tex::current::kRepeatY;
    const std::int32_t flagsAt = legacy ? tex::legacy::kTextureFlags : tex::current::kTextureFlags;
    const std::int32_t fileNameAt = legacy ? tex::legacy::kFileName : tex::current::kFileName;
    if (legacy) {
        payload::writeDefaults(buf, tex::legacy::kDefaults);
    } else {
        payload::writeDefaults(buf, tex::current::kDefaults);
    }

    // A width of 0 is no size, a height of 0 is accepted; a NaN is no size either.
    const bool sizeUsable = sizeX > 0.0f && sizeY >= 0.0f;
    if (sizeUsable) {
        payload::putF32(buf, static_cast<std::size_t>(sizeAt), sizeX);
        payload::putF32(buf, static_cast<std::size_t>(sizeAt + 4), sizeY);
    } else {
        payload::putU32(buf, static_cast<std::size_t>(flagsAt), tex::kFlagNoSize);
    }
    const std::int32_t repeatValue = repeat != 0 ? 1 : 0;
    payload::putI32(buf, static_cast<std::size_t>(repeatXAt), repeatValue);
    payload::putI32(buf, static_cast<std::size_t>(repeatYAt), repeatValue);
    payload::putText(buf, static_cast<std::size_t>(fileNameAt), fileName, tex::kFileNameChars);
    // Only the legacy payload has a place for the mapping; the current one
    // leaves it to the mesh payload.
    if (legacy) payload::putI32(buf, tex::legacy::kMappingType, mappingType);

    record.attach(buf, size, legacy ? tex::legacy::kFormat : tex::current::kFormat);
    return kDone;
}

// The legacy payload has the six colours at the current offsets and the four
// optical values at its own offsets 96 to 108; values go where the layout has them.
void applyMaterialTemplate(MotionRecord& record, const MaterialLayer& layer) {
    namespace mat = material_payload;
    const Layout layout =
        layoutOf(record, mat::current::kFormat, mat::current::kSize, mat::legacy::kFormat, mat::legacy::kSize);
    if (layout == Layout::kNone) return;
    const ScalarOffsets& at = layout == Layout::kCurrent ? kCurrentScalars : kLegacyScalars;
    PayloadWriter out(record);

    if (layer.diffuse.given) out.colour(mat::kDiffuse, layer.diffuse);
    if (layer.specular.given) out.colour(mat::kSpecular, layer.specular);
    if (layer.transparent.given) out.colour(mat::kTransparent, layer.transparent);
    if (layer.reflexion.given) out.colour(mat::kReflexion, layer.reflexion);
    if (layer.ambient.given) out.colour(mat::kAmbient, layer.ambient);
    if (layer.emissive.given) out.colour(mat::kEmissive, layer.emissive);
    if (layer.specularpower.given) out.f32(at.specularPower, static_cast<float>(layer.specularpower.value));
    if (layer.refractionindex.given) out.f32(at.refractionIndex, static_cast<float>(layer.refractionindex.value));
    if (layer.maxreflexiondistance.given) {
        out.f32(at.maxReflexionDistance, static_cast<float>(layer.maxreflexiondistance.value));
    }
    if (layer.maxtransparencedistance.given) {
        out.f32(at.maxTransparenceDistance, static_cast<float>(layer.maxtransparencedistance.value));
    }
}

// The legacy payload has a place only for the size and the two repeats;
// every other template value is left out there.
void applyTextureTemplate(MotionRecord& record, const TextureParams& texture) {
    namespace tex = texture_payload;
    const Layout layout =
        layoutOf(record, tex::current::kFormat, tex::current::kSize, tex::legacy::kFormat, tex::legacy::kSize);
    if (layout == Layout::kNone) return;
    PayloadWriter out(record);

    if (layout == Layout::kLegacy) {
        namespace at = tex::legacy;
        if (texture.size.given) {
            out.f32(at::kSizeXY, texture.size.value.v[0]);
            out.f32(at::kSizeXY + 4, texture.size.value.v[1]);
        }
        if (texture.repeatx.given) out.i32(at::kRepeatX, texture.repeatx.value);
        if (texture.repeaty.given) out.i32(at::kRepeatY, texture.repeaty.value);
        return;
    }

    namespace at = tex::current;
    if (texture.keepratio.given) out.i32(at::kKeepRatio, texture.keepratio.value);
    if (texture.position.given) {
        out.f32(at::kPosition, texture.position.value.v[0]);
        out.f32(at::kPosition + 4, texture.position.value.v[1]);
    }
    if (texture.size.given) {
        out.f32(at::kSizeXY, texture.size.value.v[0]);
        out.f32(at::kSizeXY + 4, texture.size.value.v[1]);
    }
    if (texture.rotate.given) out.f32(at::kRotate, static_cast<float>(texture.rotate.value * kPi / 180.0));
    if (texture.repeatx.given) out.i32(at::kRepeatX, texture.repeatx.value);
    if (texture.repeaty.given) out.i32(at::kRepeatY, texture.repeaty.value);
    if (texture.invertx.given) out.i32(at::kInvertX, texture.invertx.value);
    if (texture.inverty.given) out.i32(at::kInvertY, texture.inverty.value);
    if (texture.bump.given) out.f32(at::kBump, static_cast<float>(texture.bump.value));
    if (texture.apply.given) out.i32(at::kApply, texture.apply.value);
    if (texture.cutout.given) out.i32(at::kCutout, texture.cutout.value);
    if (texture.cutoutcolor.given) out.colour(at::kCutoutColor, texture.cutoutcolor);
    if (texture.deltacutout.given) out.colour(at::kDeltaCutout, texture.deltacutout);
    if (texture.mixcolor.given) out.i32(at::kMixColor, texture.mixcolor.value);
}

}  // namespace pelmora
