#include "tool/export_host_dir.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "host/host_abi.h"

namespace pelmora::tool {

namespace fs = std::filesystem;

std::string defaultHostDir() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg && fs::path(xdg).is_absolute())
        return (fs::path(xdg) / "pelmora").string();
    if (const char* home = std::getenv("HOME"); home && *home) return (fs::path(home) / ".local/share/pelmora").string();
    throw HostDirError("no host folder: set --host-dir, HOME or XDG_DATA_HOME");
}

std::string prepareHostDir(const std::string& dir, bool create) {
    std::error_code error;
    fs::path root = fs::absolute(fs::path(dir), error);
    if (error) throw HostDirError("host folder " + dir + ": " + error.message());
    root = root.lexically_normal();
    std::string text = root.string();
    if (text.empty() || text.back() != '/') text += '/';
    // The plug-in builds its paths in buffers of the host's path limit; the
    // longest fixed name it appends is "Pelmora/_id_table.txt".
    constexpr std::size_t kLongestSuffix = sizeof "Pelmora/_id_table.txt";
    if (text.size() + kLongestSuffix > static_cast<std::size_t>(host::kHostPathLimit))
        throw HostDirError("host folder " + text + " is too long for the host's paths (at most " +
                           std::to_string(host::kHostPathLimit - kLongestSuffix) + " bytes)");
    if (!create) {
        if (!fs::is_directory(fs::path(text), error)) throw HostDirError("host folder " + text + " does not exist");
        return text;
    }
    for (const char* sub : {"", "Pelmora", "Data"}) {
        fs::path folder = fs::path(text) / sub;
        fs::create_directories(folder, error);
        if (error || !fs::is_directory(folder))
            throw HostDirError("cannot create the host folder " + folder.string() +
                               (error ? ": " + error.message() : std::string()));
    }
    return text;
}

}  // namespace pelmora::tool
