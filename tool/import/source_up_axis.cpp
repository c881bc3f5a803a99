#include "tool/import/source_up_axis.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

namespace pelmora::tool {
namespace {

// Formats whose files are Z-up and that the importer leaves as they are.
constexpr std::array<std::string_view, 5> kZUpExtensions = {".stl", ".ply", ".blend", ".3mf", ".amf"};

// FBX states its up axis (0 X, 1 Y, 2 Z) in its global settings, which the
// importer keeps as scene metadata; -1 when the file says nothing.
int statedUpAxis(const aiScene& scene) {
    if (scene.mMetaData == nullptr) return -1;
    std::int32_t axis = -1;
    if (!scene.mMetaData->Get("UpAxis", axis)) return -1;
    return axis;
}

}  // namespace

bool modelIsYUp(const aiScene& scene, const std::string& extension, UpAxis asked) {
    if (asked != UpAxis::Auto) return asked == UpAxis::Y;
    const int stated = statedUpAxis(scene);
    if (stated == 1 || stated == 2) return stated == 1;
    return std::find(kZUpExtensions.begin(), kZUpExtensions.end(), extension) == kZUpExtensions.end();
}

}  // namespace pelmora::tool
