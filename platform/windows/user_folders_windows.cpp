#include "platform/user_folders.h"

#include <cstdlib>

#include "platform/windows/wide_text.h"

namespace pelmora::tool::system {

std::string defaultDataFolder() {
    for (const wchar_t* name : {L"APPDATA", L"LOCALAPPDATA"}) {
        const wchar_t* value = _wgetenv(name);
        if (value && *value) return utf8Text(value) + "\\pelmora";
    }
    return {};
}

const char* defaultDataFolderText() { return "%APPDATA%\\pelmora"; }

std::string programFolder() { return windowsProgramFolder(); }

const char* dataFolderSettings() { return "--host-dir or APPDATA"; }

}  // namespace pelmora::tool::system
