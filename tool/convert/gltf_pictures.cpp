#include "tool/convert/gltf_pictures.h"

#include <cctype>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/path_text.h"
#include "plugin/platform/files.h"
#include "preview/texture_images.h"

namespace pelmora::tool {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

constexpr int kRepeat = 10497, kClampToEdge = 33071;
constexpr int kLinear = 9729, kLinearMipmapLinear = 9987;

// A relative reference as a URI: path characters kept, anything else escaped.
std::string uriOf(const std::string& relative) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : relative) {
        if (std::isalnum(c) || std::strchr("-._~/!$&'()*+,;=:@", c)) out += static_cast<char>(c);
        else out += std::string{'%', hex[c >> 4], hex[c & 15]};
    }
    return out;
}

}  // namespace

PictureTable::PictureTable(Json& gltf, std::string* bin, const std::string& gltfPath, GltfPictures& pictures)
    : gltf_(gltf), bin_(bin), gltfPath_(gltfPath), pictures_(pictures) {
    gltf_.erase("images");
    gltf_.erase("samplers");
    gltf_.erase("textures");
}

std::optional<std::size_t> PictureTable::textureFor(const ConvertedMaterial& material) {
    if (material.imageName.empty()) return std::nullopt;
    const std::optional<std::size_t> image = imageFor(material.imageName);
    if (!image) return std::nullopt;
    const std::pair<bool, bool> repeat{material.repeatU, material.repeatV};
    auto sampler = samplers_.find(repeat);
    if (sampler == samplers_.end()) {
        sampler = samplers_.emplace(repeat, gltf_["samplers"].size()).first;
        gltf_["samplers"].push_back({{"magFilter", kLinear},
                                     {"minFilter", kLinearMipmapLinear},
                                     {"wrapS", repeat.first ? kRepeat : kClampToEdge},
                                     {"wrapT", repeat.second ? kRepeat : kClampToEdge}});
    }
    const std::pair<std::size_t, std::size_t> key{*image, sampler->second};
    auto texture = textures_.find(key);
    if (texture == textures_.end()) {
        texture = textures_.emplace(key, gltf_["textures"].size()).first;
        gltf_["textures"].push_back({{"source", key.first}, {"sampler", key.second}});
    }
    return texture->second;
}

std::optional<std::size_t> PictureTable::imageFor(const std::string& name) {
    if (auto known = images_.find(name); known != images_.end()) return known->second;
    std::optional<std::size_t>& entry = images_[name];
    const std::string found = preview::findTextureImage(name, pictures_.folders);
    std::string bytes;
    if (found.empty() || !platform::readWholeFile(found, bytes)) {
        pictures_.missing.push_back(name);
        return entry;
    }
    const std::string mime = preview::imageMimeType(bytes);
    if (mime.empty()) {
        pictures_.missing.push_back(name + " (not a PNG or JPEG picture)");
        return entry;
    }
    entry = addImage(found, bytes, mime);
    return entry;
}

std::optional<std::size_t> PictureTable::addImage(const std::string& found, const std::string& bytes,
                                                  const std::string& mime) {
    Json image;
    if (bin_) {
        while (bin_->size() % 4 != 0) *bin_ += '\0';
        const std::size_t offset = bin_->size();
        *bin_ += bytes;
        if (!gltf_.contains("buffers") || gltf_["buffers"].empty()) gltf_["buffers"] = Json::array({Json::object()});
        gltf_["buffers"][0]["byteLength"] = bin_->size();
        image = {{"bufferView", gltf_["bufferViews"].size()}, {"mimeType", mime}};
        gltf_["bufferViews"].push_back({{"buffer", 0}, {"byteOffset", offset}, {"byteLength", bytes.size()}});
    } else {
        const std::string uri = uriFor(found, bytes);
        if (uri.empty()) return std::nullopt;
        image = {{"uri", uri}};
    }
    gltf_["images"].push_back(std::move(image));
    return gltf_["images"].size() - 1;
}

// A .gltf travels with the files beside it: the picture is copied there,
// unless that is where it lies or a different file of its name is there, which
// is left alone and the picture referenced where it was found.
std::string PictureTable::uriFor(const std::string& found, const std::string& bytes) {
    std::error_code ec;
    const fs::path written = fs::absolute(system::pathOf(gltfPath_), ec).parent_path();
    const fs::path folder =
        pictures_.finalFolder.empty() ? written : fs::absolute(system::pathOf(pictures_.finalFolder), ec);
    const fs::path source = fs::absolute(system::pathOf(found), ec);
    const fs::path beside = folder / source.filename();
    std::string there;
    if (fs::exists(beside, ec) && platform::readWholeFile(system::textOf(beside), there) && there == bytes)
        return uriOf(system::textOf(source.filename()));
    if (!fs::exists(beside, ec)) {
        fs::copy_file(source, written / source.filename(), ec);
        if (!ec) return uriOf(system::textOf(source.filename()));
        problem_ = "cannot copy the picture " + found + " beside " + gltfPath_ + ": " + ec.message();
        return {};
    }
    const fs::path relative = fs::relative(source, folder, ec);
    const std::u8string text = (ec || relative.empty() ? source : relative).generic_u8string();
    return uriOf(std::string(text.begin(), text.end()));
}

}  // namespace pelmora::tool
