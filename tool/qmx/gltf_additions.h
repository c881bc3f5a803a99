// Adds what Assimp's glTF writer leaves out to the file it wrote: the camera
// (a core glTF camera) and the lights (KHR_lights_punctual), each attached to
// the node of its name. Works on .gltf (JSON) and .glb (binary container).
#pragma once

#include <string>
#include <vector>

#include "tool/qmx/scene_to_model.h"

namespace pelmora::tool {

// Gives an empty text when done, else what went wrong.
std::string addCamerasAndLights(const std::string& path, bool binary, const std::vector<ConvertedCamera>& cameras,
                                const std::vector<ConvertedLight>& lights);

}  // namespace pelmora::tool
