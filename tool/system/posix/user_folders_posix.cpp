#include "tool/system/user_folders.h"

#include <cstdlib>
#include <filesystem>

namespace pelmora::tool::system {

std::string defaultDataFolder() {
    namespace fs = std::filesystem;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg && fs::path(xdg).is_absolute())
        return (fs::path(xdg) / "pelmora").string();
    if (const char* home = std::getenv("HOME"); home && *home)
        return (fs::path(home) / ".local/share/pelmora").string();
    return {};
}

const char* dataFolderSettings() { return "--host-dir, HOME or XDG_DATA_HOME"; }

}  // namespace pelmora::tool::system
