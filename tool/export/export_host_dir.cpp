#include "tool/export/export_host_dir.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "base/ascii_case.h"
#include "platform/file_status.h"
#include "platform/path_text.h"
#include "platform/user_folders.h"
#include "plugin/host/host_abi.h"

namespace pelmora::tool {

namespace fs = std::filesystem;

std::string defaultHostDir() {
    // A tool unpacked with its templates beside it (the Windows ZIP) finds them there.
    if (const std::string shipped = system::programFolder(); !shipped.empty()) {
        std::error_code error;
        if (fs::is_directory(system::pathOf(shipped) / "Pelmora", error)) return shipped;
    }
    std::string folder = system::defaultDataFolder();
    if (folder.empty()) throw HostDirError(std::string("no host folder: set ") + system::dataFolderSettings());
    return folder;
}

std::string prepareHostDir(const std::string& dir, bool create) {
    std::error_code error;
    fs::path root = fs::absolute(system::pathOf(dir), error);
    if (error) throw HostDirError("host folder " + dir + ": " + error.message());
    root = root.lexically_normal();
    std::string text = system::textOf(root);
    if (!system::endsWithSeparator(text)) text += static_cast<char>(fs::path::preferred_separator);
    // The plug-in builds its paths in buffers of the host's path limit; the
    // longest fixed name it appends is "Pelmora/_id_table.txt".
    constexpr std::size_t kLongestSuffix = sizeof "Pelmora/_id_table.txt";
    if (text.size() + kLongestSuffix > static_cast<std::size_t>(host::kHostPathLimit))
        throw HostDirError("host folder " + text + " is too long for the host's paths (at most " +
                           std::to_string(host::kHostPathLimit - kLongestSuffix) + " bytes)");
    if (!create) {
        if (!fs::is_directory(system::pathOf(text), error))
            throw HostDirError("host folder " + text + " does not exist");
        return text;
    }
    for (const char* sub : {"", "Pelmora", "Data"}) {
        fs::path folder = system::pathOf(text) / sub;
        fs::create_directories(folder, error);
        if (error || !fs::is_directory(folder))
            throw HostDirError("cannot create the host folder " + system::textOf(folder) +
                               (error ? ": " + error.message() : std::string()));
    }
    return text;
}

bool hostDirHasTemplates(const std::string& hostDir) {
    // A link to a template counts: the plug-in opens it as the file it names.
    for (const std::string& name : system::namesIn(hostDir + "Pelmora"))
        if (base::lowerExtension(name) == ".qmt" &&
            system::pathKind(hostDir + "Pelmora/" + name) == system::PathKind::File)
            return true;
    return false;
}

}  // namespace pelmora::tool
