#include "preview/surface_values.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace pelmora::preview {

namespace {

std::vector<float> floatsOf(const qmxread::Motion* motion, const char* field) {
    const auto* found = motion ? motion->field(field) : nullptr;
    return found ? found->floats : std::vector<float>{};
}

float floatOf(const qmxread::Motion* motion, const char* field, float fallback) {
    std::vector<float> values = floatsOf(motion, field);
    return values.empty() || !std::isfinite(values[0]) ? fallback : values[0];
}

int intOf(const qmxread::Motion* motion, const char* field, int fallback) {
    const auto* found = motion ? motion->field(field) : nullptr;
    return found && !found->ints.empty() ? found->ints[0] : fallback;
}

}  // namespace

const qmxread::Motion* colourMapOf(const qmxread::Node& node) {
    for (const qmxread::Motion& motion : node.motions) {
        if (motion.name != "motionTexture" || !motion.payload) continue;
        const auto* file = motion.field("fileName");
        if (file && !file->text.empty() && floatOf(&motion, "bump", 0.0f) == 0.0f) return &motion;
    }
    return nullptr;
}

TextureMapping textureMappingOf(const qmxread::Motion& map, int mappingType) {
    TextureMapping mapping;
    mapping.type = mappingType;
    std::vector<float> size = floatsOf(&map, "size");
    if (size.size() == 2 && std::isfinite(size[0]) && size[0] > 0.0f) {
        mapping.sizeU = size[0];
        // A height of 0 keeps the picture's proportion: square, as we know no picture size.
        mapping.sizeV = std::isfinite(size[1]) && size[1] > 0.0f ? size[1] : size[0];
    }
    std::vector<float> position = floatsOf(&map, "position");
    if (position.size() == 2 && std::isfinite(position[0]) && std::isfinite(position[1]))
        mapping.offsetU = position[0], mapping.offsetV = position[1];
    mapping.rotate = floatOf(&map, "rotate", 0.0f);
    mapping.invertU = intOf(&map, "invertx", 0) != 0;
    mapping.invertV = intOf(&map, "inverty", 0) != 0;
    return mapping;
}

float transparencyOf(const qmxread::Motion* material) {
    std::vector<float> t = floatsOf(material, "transparent");
    if (t.size() < 3) return 0.0f;
    const float transparency = std::clamp(std::max({t[0], t[1], t[2]}), 0.0f, 1.0f);
    return std::isfinite(transparency) ? transparency : 0.0f;
}

}  // namespace pelmora::preview
