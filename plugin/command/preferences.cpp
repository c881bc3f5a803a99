#include "plugin/command/preferences.h"

#include <cstdio>
#include <cstring>

#include "plugin/host/host_abi.h"
#include "plugin/host/services.h"
#include "plugin/platform/files.h"

namespace pelmora {
namespace {

constexpr const char* kTemporarySuffix = ".tmp";
constexpr std::size_t kReadSize = 8;
constexpr std::size_t kModeTextSize = 3;

// The host's user data folder (ending in the separator); empty when the host
// has none. Without this check a missing folder would put the preference file
// into whatever the process's working folder happens to be.
std::string userDataFolder() {
    char folder[host::kHostPathLimit] = {};
    std::int32_t status = host::getFolderPath(host::kFolderUserData, folder, 1);
    folder[sizeof folder - 1] = '\0';
    if (status == host::kFolderPathMissing) return {};
    return folder;
}

std::string dataFolder() {
    std::string base = userDataFolder();
    if (base.empty()) return {};
    return base + kPreferenceFolder;
}

}  // namespace

std::int32_t parseModeBytes(const char* bytes) {
    if (bytes[0] != 'v' || bytes[1] != '0') return kDefaultMode;
    switch (bytes[2]) {
        case '1':
            return 0;
        case '2':
            return 1;
        case '3':
            return 2;
        case '4':
            return 3;
        default:
            return kDefaultMode;
    }
}

const char* modeText(std::int32_t mode) {
    switch (mode) {
        case 0:
            return "v01";
        case 1:
            return "v02";
        case 2:
            return "v03";
        default:
            return "v04";
    }
}

std::string preferencePath() {
    std::string folder = dataFolder();
    if (folder.empty()) return {};
    return folder + platform::pathSeparator() + kPreferenceFileName;
}

std::int32_t loadMode() {
    std::string path = preferencePath();
    if (path.empty()) return kDefaultMode;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return kDefaultMode;
    char bytes[kReadSize] = {};
    std::size_t got = std::fread(bytes, 1, kReadSize, file);
    std::fclose(file);
    (void)got;  // a short file leaves zeros, which no mode matches
    return parseModeBytes(bytes);
}

void storeMode(std::int32_t mode) {
    std::string folder = dataFolder();
    if (folder.empty()) return;
    platform::createDirectory(folder);  // an existing folder is fine

    const std::string path = platform::replacementTarget(folder + platform::pathSeparator() + kPreferenceFileName);
    platform::TemporaryFile temporary(path + kTemporarySuffix);
    std::FILE* file = std::fopen(temporary.path().c_str(), "wb");
    if (!file) return;
    bool written = std::fwrite(modeText(mode), 1, kModeTextSize, file) == kModeTextSize;
    written = (std::fclose(file) == 0) && written;
    if (written && platform::replaceFile(temporary.path(), path)) temporary.keep();
}

}  // namespace pelmora
