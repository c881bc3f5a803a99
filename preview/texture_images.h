// Finding the picture files a scene's textures name. A QMX file keeps only
// the name the template gave (perhaps with a Windows folder): it is looked
// for as given when it is an existing path, else by its last component in
// each search folder in turn.
#pragma once

#include <string>
#include <vector>

namespace pelmora::preview {

// The path of the picture, or empty when no folder holds it.
std::string findTextureImage(const std::string& name, const std::vector<std::string>& folders);

// "image/png" or "image/jpeg" from the file's first bytes; empty for any
// other kind, which glTF cannot carry.
std::string imageMimeType(const std::string& bytes);

}  // namespace pelmora::preview
