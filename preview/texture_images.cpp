#include "preview/texture_images.h"

#include <filesystem>
#include <system_error>

#include "platform/path_text.h"

namespace pelmora::preview {

std::string findTextureImage(const std::string& name, const std::vector<std::string>& folders) {
    namespace fs = std::filesystem;
    if (name.empty()) return {};
    std::error_code ec;
    const fs::path given = tool::system::pathOf(name);
    if (given.is_absolute() && fs::is_regular_file(given, ec)) return name;
    const std::string leaf = name.substr(name.find_last_of("/\\") + 1);
    if (leaf.empty()) return {};
    for (const std::string& folder : folders) {
        const fs::path candidate = tool::system::pathOf(folder) / tool::system::pathOf(leaf);
        if (fs::is_regular_file(candidate, ec)) return tool::system::textOf(candidate);
    }
    return {};
}

std::string imageMimeType(const std::string& bytes) {
    if (bytes.rfind("\x89PNG\r\n\x1a\n", 0) == 0) return "image/png";
    if (bytes.rfind("\xFF\xD8\xFF", 0) == 0) return "image/jpeg";
    return {};
}

}  // namespace pelmora::preview
