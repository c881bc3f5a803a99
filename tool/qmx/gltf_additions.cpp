#include "tool/qmx/gltf_additions.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>

#include <nlohmann/json.hpp>

#include "plugin/platform/files.h"

namespace pelmora::tool {
namespace {

using Json = nlohmann::json;

constexpr std::uint32_t kGlbMagic = 0x46546C67;   // "glTF"
constexpr std::uint32_t kChunkJson = 0x4E4F534A;  // "JSON"
constexpr std::size_t kGlbHeaderBytes = 12;
constexpr std::size_t kChunkHeaderBytes = 8;
constexpr const char* kLightsExtension = "KHR_lights_punctual";

std::uint32_t load32(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
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
        Json entry = {
            {"name", camera.nodeName},
            {"type", "perspective"},
            {"perspective",
             {{"yfov", yfov}, {"aspectRatio", camera.aspect}, {"znear", camera.nearPlane}, {"zfar", camera.farPlane}}}};
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
    // A GLB's binary chunk is the whole geometry: it is read once and written
    // back from where it lies, not copied.
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
    addTo(gltf, cameras, lights);
    std::string text = gltf.dump(binary ? -1 : 2, ' ', false, Json::error_handler_t::replace);
    std::string header;
    std::size_t restStart = bytes.size();
    if (binary) {
        while (text.size() % 4 != 0) text += ' ';
        restStart = jsonStart + jsonLength;
        header.assign(kGlbHeaderBytes + kChunkHeaderBytes, '\0');
        store32(header, 0, kGlbMagic);
        store32(header, 4, 2);
        store32(header, 8, static_cast<std::uint32_t>(header.size() + text.size() + (bytes.size() - restStart)));
        store32(header, kGlbHeaderBytes, static_cast<std::uint32_t>(text.size()));
        store32(header, kGlbHeaderBytes + 4, kChunkJson);
    } else {
        text += "\n";
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(header.data(), static_cast<std::streamsize>(header.size()));
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    file.write(bytes.data() + restStart, static_cast<std::streamsize>(bytes.size() - restStart));
    file.close();
    if (!file) return "cannot write " + path;
    return {};
}

}  // namespace pelmora::tool
