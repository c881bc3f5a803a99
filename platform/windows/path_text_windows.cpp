#include "platform/path_text.h"

#include <windows.h>

#include "platform/windows/wide_text.h"

namespace pelmora::tool::system {

// Made absolute with the Windows separators too: the plug-in's calls (and
// some of Wine's) take "\\" alone between folders.
bool narrowPath(const std::string& utf8, std::string& narrow) {
    narrow.clear();
    const std::wstring given = wideText(utf8);
    if (given.empty()) return utf8.empty();
    std::wstring wide(given.size() + MAX_PATH, L'\0');
    DWORD length = GetFullPathNameW(given.c_str(), static_cast<DWORD>(wide.size()), wide.data(), nullptr);
    if (length >= wide.size()) {
        wide.resize(length + 1);
        length = GetFullPathNameW(given.c_str(), static_cast<DWORD>(wide.size()), wide.data(), nullptr);
    }
    if (length == 0 || length >= wide.size()) return false;
    // A folder keeps its final separator.
    wide.resize(length);
    if ((given.back() == L'/' || given.back() == L'\\') && wide.back() != L'\\') wide += L'\\';
    std::optional<std::string> ansi = narrowFrom(wide.data(), static_cast<int>(wide.size()), CP_ACP);
    if (!ansi) return false;
    narrow = std::move(*ansi);
    return true;
}

bool utf8FromNarrowPath(const std::string& narrow, std::string& utf8) {
    const std::optional<std::wstring> wide = wideFrom(narrow, CP_ACP, 0);
    const std::optional<std::string> text =
        wide ? narrowFrom(wide->data(), static_cast<int>(wide->size()), CP_UTF8) : std::nullopt;
    if (!text) return false;
    utf8 = *text;
    return true;
}

int fileNameCodePage() { return static_cast<int>(GetACP()); }

std::FILE* openFile(const std::string& utf8, const char* mode) {
    return _wfopen(wideText(utf8).c_str(), wideText(mode).c_str());
}

}  // namespace pelmora::tool::system
