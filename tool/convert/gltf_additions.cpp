#include "tool/convert/gltf_additions.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

#include <nlohmann/json.hpp>

#include "platform/path_text.h"
#include "plugin/platform/files.h"
#include "tool/convert/gltf_pictures.h"

namespace pelmora::tool {
namespace {

using Json = nlohmann::json;

constexpr std::uint32_t kGlbMagic = 0x46546C67;   // "glTF"
constexpr std::uint32_t kChunkJson = 0x4E4F534A;  // "JSON"
constexpr std::uint32_t kChunkBin = 0x004E4942;   // "BIN\0"
constexpr std::size_t kGlbHeaderBytes = 12;
constexpr std::size_t kChunkHeaderBytes = 8;
constexpr const char* kLightsExtension = "KHR_lights_punctual";
constexpr auto kReplace = nlohmann::json::error_handler_t::replace;  // names are UTF-8 already; never throw

std::uint32_t load32(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

void store32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

Json* nodeNamed(Json& gltf, const std::string& name) {
    if (!gltf.contains("nodes")) return nullptr;
    for (Json& node : gltf["nodes"])
        if (node.value("name", "") == name) return &node;
    return nullptr;
}

void addCameras(Json& gltf, const std::vector<ConvertedCamera>& cameras) {
    for (const ConvertedCamera& camera : cameras) {
        Json* node = nodeNamed(gltf, camera.nodeName);
        if (!node) continue;
        Json entry = {{"name", camera.nodeName},
                      {"type", "perspective"},
                      {"perspective",
                       {{"yfov", camera.yfov},
                        {"aspectRatio", camera.aspect},
                        {"znear", camera.nearPlane},
                        {"zfar", camera.farPlane}}}};
        (*node)["camera"] = gltf["cameras"].size();
        gltf["cameras"].push_back(std::move(entry));
    }
}

Json lightEntry(const ConvertedLight& light) {
    Json entry = {{"name", light.nodeName},
                  {"color", {light.colour[0], light.colour[1], light.colour[2]}},
                  {"intensity", light.intensity}};
    switch (light.kind) {
        case ConvertedLight::Kind::Directional:
            entry["type"] = "directional";
            break;
        case ConvertedLight::Kind::Point:
            entry["type"] = "point";
            break;
        case ConvertedLight::Kind::Spot: {
            entry["type"] = "spot";
            // glTF counts the cone from its axis: half the full angles; it
            // wants the inner cone strictly inside the outer one.
            const double outer = light.outerCone / 2.0;
            entry["spot"] = {{"innerConeAngle", std::min(light.innerCone / 2.0, std::nextafter(outer, 0.0))},
                             {"outerConeAngle", outer}};
            break;
        }
    }
    return entry;
}

void addLights(Json& gltf, const std::vector<ConvertedLight>& lights) {
    Json punctual = Json::array();
    for (const ConvertedLight& light : lights) {
        Json* node = nodeNamed(gltf, light.nodeName);
        if (!node) continue;
        (*node)["extensions"][kLightsExtension] = {{"light", punctual.size()}};
        punctual.push_back(lightEntry(light));
    }
    if (!punctual.empty()) gltf["extensions"][kLightsExtension]["lights"] = std::move(punctual);
}

// Core metallic-roughness, replacing what Assimp wrote (its materials come in
// the scene's order).
Json materialEntry(const ConvertedMaterial& material, std::optional<std::size_t> texture) {
    const auto& c = material.baseColour;
    // A picture shows as it is unless the texture asks to mix in the colour.
    const bool plain = texture && !material.mixColour;
    Json pbr = {{"baseColorFactor", {plain ? 1.0f : c[0], plain ? 1.0f : c[1], plain ? 1.0f : c[2], c[3]}},
                {"metallicFactor", 0.0},
                {"roughnessFactor", material.roughness}};
    if (texture) pbr["baseColorTexture"] = {{"index", *texture}};
    Json entry = {{"name", material.name}, {"pbrMetallicRoughness", std::move(pbr)}, {"doubleSided", true}};
    if (c[3] < 1.0f) entry["alphaMode"] = "BLEND";
    const auto& e = material.emissive;
    if (e[0] > 0.0f || e[1] > 0.0f || e[2] > 0.0f) entry["emissiveFactor"] = {e[0], e[1], e[2]};
    // The picture's name stays with the material even when it was not found.
    if (!material.imageName.empty()) entry["extras"] = {{"texture", material.imageName}};
    return entry;
}

// Only the extensions the file uses stay listed. Assimp marks polygon
// primitives with an encoding of its own that no viewer needs.
void pruneExtensions(Json& gltf) {
    for (Json& mesh : gltf["meshes"])
        for (Json& primitive : mesh["primitives"])
            if (primitive.contains("extensions")) primitive.erase("extensions");
    gltf.erase("extensionsRequired");
    gltf.erase("extensionsUsed");
    if (gltf.contains("extensions") && gltf["extensions"].contains(kLightsExtension))
        gltf["extensionsUsed"] = Json::array({kLightsExtension});
    else gltf.erase("extensions");
}

// The GLB container: header, JSON chunk, binary chunk, each padded to 4 bytes.
std::string glbBytes(const Json& gltf, std::string bin) {
    std::string text = gltf.dump(-1, ' ', false, kReplace);
    while (text.size() % 4 != 0) text += ' ';
    while (bin.size() % 4 != 0) bin += '\0';
    std::string out(kGlbHeaderBytes + kChunkHeaderBytes, '\0');
    store32(out, 0, kGlbMagic);
    store32(out, 4, 2);
    store32(out, kGlbHeaderBytes, static_cast<std::uint32_t>(text.size()));
    store32(out, kGlbHeaderBytes + 4, kChunkJson);
    out += text;
    if (!bin.empty()) {
        std::string chunk(kChunkHeaderBytes, '\0');
        store32(chunk, 0, static_cast<std::uint32_t>(bin.size()));
        store32(chunk, 4, kChunkBin);
        out += chunk;
        out += bin;
    }
    store32(out, 8, static_cast<std::uint32_t>(out.size()));
    return out;
}

}  // namespace

std::string completeGltf(const std::string& path, bool binary, const ConvertedScene& scene, GltfPictures& pictures) {
    // A GLB's binary chunk is the whole geometry: it is read once and written
    // back from where it lies, pictures appended.
    std::string bytes;
    if (!platform::readWholeFile(path, bytes)) return "cannot read back " + path;
    std::size_t jsonStart = 0, jsonLength = bytes.size();
    if (binary) {
        if (bytes.size() < kGlbHeaderBytes + kChunkHeaderBytes || load32(bytes, 0) != kGlbMagic ||
            load32(bytes, kGlbHeaderBytes + 4) != kChunkJson)
            return path + " is not a GLB file as expected";
        jsonLength = load32(bytes, kGlbHeaderBytes);
        jsonStart = kGlbHeaderBytes + kChunkHeaderBytes;
        if (jsonStart + jsonLength > bytes.size()) return path + ": its JSON chunk is cut short";
    }
    const auto jsonBegin = bytes.begin() + static_cast<std::ptrdiff_t>(jsonStart);
    Json gltf = Json::parse(jsonBegin, jsonBegin + static_cast<std::ptrdiff_t>(jsonLength), nullptr, false);
    if (gltf.is_discarded() || !gltf.is_object()) return path + ": the glTF JSON does not parse";

    std::string bin;
    if (binary) {
        const std::size_t binStart = jsonStart + jsonLength;
        if (binStart + kChunkHeaderBytes <= bytes.size() && load32(bytes, binStart + 4) == kChunkBin) {
            const std::size_t length = std::min<std::size_t>(load32(bytes, binStart), bytes.size() - binStart - 8);
            bin = bytes.substr(binStart + kChunkHeaderBytes, length);
        }
    }
    bytes.clear();
    addCameras(gltf, scene.cameras);
    addLights(gltf, scene.lights);
    PictureTable table(gltf, binary ? &bin : nullptr, path, pictures);
    Json materials = Json::array();
    for (const ConvertedMaterial& material : scene.materials)
        materials.push_back(materialEntry(material, table.textureFor(material)));
    gltf["materials"] = std::move(materials);
    pruneExtensions(gltf);
    if (!table.problem().empty()) return table.problem();

    const std::string out = binary ? glbBytes(gltf, std::move(bin)) : gltf.dump(2, ' ', false, kReplace) + "\n";
    std::ofstream file(system::pathOf(path), std::ios::binary | std::ios::trunc);
    file.write(out.data(), static_cast<std::streamsize>(out.size()));
    file.close();
    if (!file) return "cannot write " + path;
    return {};
}

}  // namespace pelmora::tool
