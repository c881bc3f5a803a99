// The active camera of a Blender file's current scene, which the model
// importer does not keep: the scene's camera pointer followed to its
// object's name through the file's own description of its records (SDNA).
#pragma once

#include <string>

namespace pelmora::tool {

// The name of the camera object (as the importer names its node), empty when
// the file names none or cannot be read so far (big-endian files too).
std::string blendActiveCamera(const std::string& path);

}  // namespace pelmora::tool
