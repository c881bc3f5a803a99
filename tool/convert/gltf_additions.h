// Completes the glTF file Assimp's writer made (.gltf or .glb) with what that
// writer leaves out or gets wrong: the camera (core glTF) and the lights
// (KHR_lights_punctual) on the nodes of their names, the materials in core
// metallic-roughness, and the texture pictures, embedded in a .glb and beside
// a .gltf. Extensions the file does not use are taken off its lists.
#pragma once

#include <string>
#include <vector>

#include "tool/convert/scene_to_model.h"

namespace pelmora::tool {

struct GltfPictures {
    std::vector<std::string> folders;  // where texture pictures are looked for, in order
    std::vector<std::string> missing;  // filled: names found nowhere, or not PNG or JPEG
    // The folder the .gltf ends up in, when it is written elsewhere first:
    // pictures are looked for there, and copied beside the written file.
    std::string finalFolder;
};

// Gives an empty text when done, else what went wrong.
std::string completeGltf(const std::string& path, bool binary, const ConvertedScene& scene, GltfPictures& pictures);

}  // namespace pelmora::tool
