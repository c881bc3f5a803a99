// Which of a model's cameras becomes the drawing's view, and the whole
// vertical angle it sees. The scene file's picture is always 4:3, so the
// vertical angle is what a camera keeps: given by the file where it gives
// one, else made from the horizontal angle and the camera's aspect (4:3
// when the file names none).
#pragma once

#include <functional>
#include <string>

#include <assimp/scene.h>

namespace pelmora::tool {

// The camera `wanted` names (its name, else its index from 0); without one
// the scene's own: a Blender file's active camera, for glTF the first camera
// a node of the scene places, else the first. Null for a model without
// cameras and no `wanted`; throws ModelImportError, listing the cameras,
// when `wanted` names none. `placed` tells whether a node of the scene
// places the camera; `extension` is the file's, lower case.
const aiCamera* chooseCamera(const aiScene& scene, const std::string& wanted, const std::string& path,
                             const std::string& extension, const std::function<bool(const aiCamera&)>& placed);

// The whole vertical angle (radians) of `camera` of the file at `path`,
// whose lower-case extension is `extension`.
double verticalAngleOf(const aiCamera& camera, const std::string& path, const std::string& extension);

// The widest and narrowest whole vertical angles (radians) the scene file
// holds on its 640 × 480 picture.
double widestVerticalAngle();
double narrowestVerticalAngle();

}  // namespace pelmora::tool
