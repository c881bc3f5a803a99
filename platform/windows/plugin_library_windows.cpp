#include "platform/plugin_library.h"

#include <windows.h>

#include "platform/windows/wide_text.h"

namespace pelmora::tool::system {
namespace {
DWORD g_lastError = 0;
}

void* openLibrary(const std::string& path) {
    HMODULE module = LoadLibraryW(wideText(path).c_str());
    if (!module) g_lastError = GetLastError();
    return reinterpret_cast<void*>(module);
}

void* findSymbol(void* library, const char* name) {
    // Through the generic function type: the documented way from FARPROC.
    return reinterpret_cast<void*>(reinterpret_cast<void (*)()>(GetProcAddress(static_cast<HMODULE>(library), name)));
}

void closeLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

std::string libraryError() { return errorText(g_lastError) + " (error " + std::to_string(g_lastError) + ")"; }

}  // namespace pelmora::tool::system
