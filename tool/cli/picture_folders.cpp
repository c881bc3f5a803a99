#include "tool/cli/picture_folders.h"

#include <filesystem>

#include "platform/path_text.h"
#include "tool/export/export_host_dir.h"

namespace pelmora::tool {

std::vector<std::string> pictureFolders(std::vector<std::string> given, const std::string& scenePath) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path beside = fs::absolute(system::pathOf(scenePath), ec).parent_path();
    for (const fs::path& folder : {beside, beside / "textures", system::pathOf(defaultHostDir()) / "Textures"})
        if (fs::is_directory(folder, ec)) given.push_back(system::textOf(folder));
    return given;
}

}  // namespace pelmora::tool
