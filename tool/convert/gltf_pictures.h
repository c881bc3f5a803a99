// The texture pictures of a glTF file being completed: each picture a scene
// names is looked for once, then embedded in the binary chunk of a .glb or
// referenced from a .gltf (copied beside it unless another file of its name
// is there already), with one sampler per repeat setting and one texture per
// picture and sampler.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <tuple>

#include <nlohmann/json.hpp>

#include "tool/convert/gltf_additions.h"
#include "tool/convert/scene_to_model.h"

namespace pelmora::tool {

class PictureTable {
public:
    // Replaces the file's images, samplers and textures. `bin` is the .glb's
    // binary chunk, null for a .gltf written at `gltfPath`.
    PictureTable(nlohmann::json& gltf, std::string* bin, const std::string& gltfPath, GltfPictures& pictures);

    // The texture index of the material's colour map; none when it has none
    // or its picture cannot be had (then named in pictures.missing).
    std::optional<std::size_t> textureFor(const ConvertedMaterial& material);

    // What failed when a picture had to be copied; empty when nothing did.
    const std::string& problem() const { return problem_; }

private:
    std::optional<std::size_t> imageFor(const std::string& name);
    std::optional<std::size_t> addImage(const std::string& found, const std::string& bytes, const std::string& mime);
    std::string uriFor(const std::string& found, const std::string& bytes);

    nlohmann::json& gltf_;
    std::string* bin_;
    std::string gltfPath_;
    GltfPictures& pictures_;
    std::map<std::string, std::optional<std::size_t>> images_;
    std::map<std::pair<bool, bool>, std::size_t> samplers_;
    std::map<std::pair<std::size_t, std::size_t>, std::size_t> textures_;
    std::string problem_;
};

}  // namespace pelmora::tool
