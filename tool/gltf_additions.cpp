#include "tool/gltf_additions.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>

#include <nlohmann/json.hpp>

namespace pelmora::tool {
namespace {

using Json = nlohmann::json;

constexpr std::uint32_t kGlbMagic = 0x46546C67;      // "glTF"
constexpr std::uint32_t kChunkJson = 0x4E4F534A;     // "JSON"
constexpr std::size_t kGlbHeaderBytes = 12;
constexpr std::size_t kChunkHeaderBytes = 8;
constexpr const char* kLightsExtension = "KHR_lights_punctual";

std::uint32_t load32(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

void store32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void addTo(Json& gltf, const std::vector<ConvertedCamera>& cameras, const std::vector<ConvertedLight>& lights) {
    if (!gltf.contains("nodes")) return;
    auto nodeNamed = [&gltf](const std::string& name) -> Json* {
        for (Json& node : gltf["nodes"])
            if (node.value("name", "") == name) return &node;
        return nullptr;
    };
    for (const ConvertedCamera& camera : cameras) {
        Json* node = nodeNamed(camera.nodeName);
        if (!node) continue;
        // glTF wants the vertical angle of the whole view.
        const double yfov = 2.0 * std::atan(std::tan(camera.halfHorizontalFov) / camera.aspect);
        Json entry = {{"name", camera.nodeName},
                      {"type", "perspective"},
                      {"perspective",
                       {{"yfov", yfov}, {"aspectRatio", camera.aspect}, {"znear", camera.nearPlane},
                        {"zfar", camera.farPlane}}}};
        (*node)["camera"] = gltf["cameras"].size();
        gltf["cameras"].push_back(std::move(entry));
    }
    Json punctual = Json::array();
    for (const ConvertedLight& light : lights) {
        Json* node = nodeNamed(light.nodeName);
        if (!node) continue;
        Json entry = {{"name", light.nodeName},
                      {"color", {light.colour[0], light.colour[1], light.colour[2]}},
                      {"intensity", light.intensity}};
        switch (light.kind) {
            case ConvertedLight::Kind::Directional: entry["type"] = "directional"; break;
            case ConvertedLight::Kind::Point: entry["type"] = "point"; break;
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
        (*node)["extensions"][kLightsExtension] = {{"light", punctual.size()}};
        punctual.push_back(std::move(entry));
    }
    if (!punctual.empty()) {
        gltf["extensions"][kLightsExtension]["lights"] = std::move(punctual);
        Json& used = gltf["extensionsUsed"];
        if (!used.is_array()) used = Json::array();
        if (std::find(used.begin(), used.end(), kLightsExtension) == used.end()) used.push_back(kLightsExtension);
    }
}

}  // namespace

std::string addCamerasAndLights(const std::string& path, bool binary, const std::vector<ConvertedCamera>& cameras,
                                const std::vector<ConvertedLight>& lights) {
    if (cameras.empty() && lights.empty()) return {};
    std::string bytes;
    {
        std::ifstream in(path, std::ios::binary);
        if (!in) return "cannot read back " + path;
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::string jsonText, rest;
    if (binary) {
        if (bytes.size() < kGlbHeaderBytes + kChunkHeaderBytes || load32(bytes, 0) != kGlbMagic ||
            load32(bytes, kGlbHeaderBytes + 4) != kChunkJson)
            return path + " is not a GLB file as expected";
        const std::size_t jsonLength = load32(bytes, kGlbHeaderBytes);
        const std::size_t jsonStart = kGlbHeaderBytes + kChunkHeaderBytes;
        if (jsonStart + jsonLength > bytes.size()) return path + ": its JSON chunk is cut short";
        jsonText = bytes.substr(jsonStart, jsonLength);
        rest = bytes.substr(jsonStart + jsonLength);
    } else {
        jsonText = bytes;
    }
    Json gltf = Json::parse(jsonText, nullptr, false);
    if (gltf.is_discarded() || !gltf.is_object()) return path + ": the glTF JSON does not parse";
    addTo(gltf, cameras, lights);
    std::string text = gltf.dump(binary ? -1 : 2, ' ', false, Json::error_handler_t::replace);
    std::string out;
    if (binary) {
        while (text.size() % 4 != 0) text += ' ';
        out.assign(kGlbHeaderBytes + kChunkHeaderBytes, '\0');
        store32(out, 0, kGlbMagic);
        store32(out, 4, 2);
        store32(out, kGlbHeaderBytes, static_cast<std::uint32_t>(text.size()));
        store32(out, kGlbHeaderBytes + 4, kChunkJson);
        out += text;
        out += rest;
        store32(out, 8, static_cast<std::uint32_t>(out.size()));
    } else {
        out = text + "\n";
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(out.data(), static_cast<std::streamsize>(out.size()));
    file.close();
    if (!file) return "cannot write " + path;
    return {};
}

}  // namespace pelmora::tool
