#include "platform/user_folders.h"

#include <cstdlib>
#include <filesystem>

namespace pelmora::tool::system {

namespace fs = std::filesystem;

std::string defaultDataFolder() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg && fs::path(xdg).is_absolute())
        return (fs::path(xdg) / "pelmora").string();
    if (const char* home = std::getenv("HOME"); home && *home)
        return (fs::path(home) / ".local/share/pelmora").string();
    return {};
}

const char* defaultDataFolderText() { return "$XDG_DATA_HOME/pelmora or ~/.local/share/pelmora"; }

std::string programFolder() {
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (error || !program.has_parent_path()) return {};
    return (program.parent_path() / "").string();
}

const char* dataFolderSettings() { return "--host-dir, HOME or XDG_DATA_HOME"; }

}  // namespace pelmora::tool::system
