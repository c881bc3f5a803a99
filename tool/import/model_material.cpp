#include "tool/import/model_material.h"

#include <stb/stb_image.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <optional>

#include <assimp/material.h>

#include "base/ascii_case.h"
#include "tool/import/model_import.h"

namespace pelmora::tool {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxListedMaps = 10;

struct Rgb {
    float r = 0.0f, g = 0.0f, b = 0.0f;
};

float unit(float value) { return std::isfinite(value) ? std::clamp(value, 0.0f, 1.0f) : 0.0f; }

void store(float (&out)[3], const aiColor4D& colour) {
    out[0] = unit(colour.r);
    out[1] = unit(colour.g);
    out[2] = unit(colour.b);
}

bool colourOf(const aiMaterial& material, const char* key, unsigned type, unsigned index, aiColor4D& out) {
    return material.Get(key, type, index, out) == AI_SUCCESS;
}

// The mean colour of decoded pixels (three bytes each); none for no pixels.
std::optional<Rgb> meanOf(const unsigned char* pixels, int width, int height) {
    if (pixels == nullptr || width <= 0 || height <= 0) return std::nullopt;
    double sum[3] = {0.0, 0.0, 0.0};
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    for (std::size_t i = 0; i < count; ++i)
        for (int c = 0; c < 3; ++c) sum[c] += pixels[i * 3 + c];
    const double scale = 1.0 / (255.0 * static_cast<double>(count));
    return Rgb{static_cast<float>(sum[0] * scale), static_cast<float>(sum[1] * scale),
               static_cast<float>(sum[2] * scale)};
}

struct ImageFree {
    void operator()(unsigned char* pixels) const { stbi_image_free(pixels); }
};
using Pixels = std::unique_ptr<unsigned char, ImageFree>;

std::optional<Rgb> meanOfEmbedded(const aiTexture& texture) {
    if (texture.mHeight == 0) {  // a compressed picture of mWidth bytes
        int width = 0, height = 0, channels = 0;
        Pixels pixels(stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(texture.pcData),
                                            static_cast<int>(std::min<unsigned>(texture.mWidth, INT32_MAX)), &width,
                                            &height, &channels, 3));
        return meanOf(pixels.get(), width, height);
    }
    const std::size_t count = static_cast<std::size_t>(texture.mWidth) * texture.mHeight;
    std::vector<unsigned char> rgb(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        rgb[i * 3] = texture.pcData[i].r;
        rgb[i * 3 + 1] = texture.pcData[i].g;
        rgb[i * 3 + 2] = texture.pcData[i].b;
    }
    return meanOf(rgb.data(), static_cast<int>(texture.mWidth), static_cast<int>(texture.mHeight));
}

// The picture a material names, found as the model's own viewers find it:
// relative to the model's folder, else by its bare name there.
std::optional<Rgb> meanOfFile(std::string named, const std::string& modelPath) {
    std::replace(named.begin(), named.end(), '\\', '/');
    const fs::path folder = fs::path(modelPath).parent_path();
    std::error_code error;
    for (const fs::path& candidate :
         {fs::path(named).is_absolute() ? fs::path(named) : folder / named, folder / fs::path(named).filename()}) {
        if (!fs::is_regular_file(candidate, error)) continue;
        int width = 0, height = 0, channels = 0;
        Pixels pixels(stbi_load(candidate.string().c_str(), &width, &height, &channels, 3));
        if (auto mean = meanOf(pixels.get(), width, height)) return mean;
    }
    return std::nullopt;
}

// The colour map of the material, its name told to `leftOutMaps`.
std::optional<Rgb> colourMapMean(const aiScene& scene, const aiMaterial& material, const std::string& modelPath,
                                 std::vector<std::string>& leftOutMaps) {
    aiString path;
    if (material.GetTexture(aiTextureType_BASE_COLOR, 0, &path) != AI_SUCCESS &&
        material.GetTexture(aiTextureType_DIFFUSE, 0, &path) != AI_SUCCESS)
        return std::nullopt;
    const std::string named = path.C_Str();
    if (const aiTexture* embedded = scene.GetEmbeddedTexture(path.C_Str())) {
        const std::string hint = embedded->mFilename.length > 0 ? embedded->mFilename.C_Str() : named;
        leftOutMaps.push_back(hint + " (in the model file)");
        return meanOfEmbedded(*embedded);
    }
    leftOutMaps.push_back(named);
    return meanOfFile(named, modelPath);
}

// Shininess as a Phong exponent. glTF's metallic-roughness material gives
// its roughness, turned back as the conversion turns the exponent into
// roughness (its importer's shininess is no value of the file's).
float shininessOf(const aiMaterial& material, bool roughnessModel) {
    float value = 0.0f;
    if (roughnessModel && material.Get(AI_MATKEY_ROUGHNESS_FACTOR, value) == AI_SUCCESS && std::isfinite(value))
        return value > 0.0f ? std::min(2.0f / (value * value) - 2.0f, 1000.0f) : 1000.0f;
    if (material.Get(AI_MATKEY_SHININESS, value) == AI_SUCCESS && std::isfinite(value)) return std::max(value, 0.0f);
    return 0.0f;
}

}  // namespace

ImportedMaterial readModelMaterial(const aiScene& scene, const aiMaterial& material, const std::string& modelPath,
                                   std::vector<std::string>& leftOutMaps) {
    ImportedMaterial out;
    aiColor4D colour;
    const bool baseColour = colourOf(material, AI_MATKEY_BASE_COLOR, colour);
    if (baseColour || colourOf(material, AI_MATKEY_COLOR_DIFFUSE, colour)) store(out.diffuse, colour);
    if (std::optional<Rgb> mean = colourMapMean(scene, material, modelPath, leftOutMaps)) {
        // A base colour tints its map; a diffuse colour beside a map is unused.
        const float tint[3] = {baseColour ? out.diffuse[0] : 1.0f, baseColour ? out.diffuse[1] : 1.0f,
                               baseColour ? out.diffuse[2] : 1.0f};
        out.diffuse[0] = unit(mean->r * tint[0]);
        out.diffuse[1] = unit(mean->g * tint[1]);
        out.diffuse[2] = unit(mean->b * tint[2]);
    }
    if (colourOf(material, AI_MATKEY_COLOR_AMBIENT, colour)) store(out.ambient, colour);
    if (colourOf(material, AI_MATKEY_COLOR_SPECULAR, colour)) store(out.specular, colour);
    if (colourOf(material, AI_MATKEY_COLOR_EMISSIVE, colour)) store(out.emissive, colour);
    float value = 1.0f;
    if (material.Get(AI_MATKEY_OPACITY, value) == AI_SUCCESS) out.opacity = unit(value);
    const std::string extension = base::lowerExtension(modelPath);
    out.shininess = shininessOf(material, extension == ".gltf" || extension == ".glb");
    // 1 is the refraction of no refraction at all, which importers give by default.
    if (material.Get(AI_MATKEY_REFRACTI, value) == AI_SUCCESS && std::isfinite(value) && value > 0.0f &&
        std::abs(value - 1.0f) > 1e-6f)
        out.refraction = std::min(value, 10.0f);
    return out;
}

std::string leftOutMapsWarning(const std::vector<std::string>& leftOutMaps) {
    if (leftOutMaps.empty()) return {};
    std::string names;
    for (std::size_t i = 0; i < leftOutMaps.size() && i < kMaxListedMaps; ++i)
        names += (i == 0 ? "" : ", ") + documentName(leftOutMaps[i]);
    if (leftOutMaps.size() > kMaxListedMaps)
        names += " and " + std::to_string(leftOutMaps.size() - kMaxListedMaps) + " more";
    return "the scene file places textures by projection, not by the model's texture coordinates: its colour maps "
           "were left out (" +
           names + "); each material keeps its colour, the map's mean colour where the map was its colour";
}

}  // namespace pelmora::tool
