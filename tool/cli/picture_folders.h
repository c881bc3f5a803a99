// Where `convert` and `preview` look for a scene's texture pictures: the
// folders given, then beside the QMX file and in its textures/ folder, then
// in the host folder's Textures/ (those that exist).
#pragma once

#include <string>
#include <vector>

namespace pelmora::tool {

std::vector<std::string> pictureFolders(std::vector<std::string> given, const std::string& scenePath);

}  // namespace pelmora::tool
