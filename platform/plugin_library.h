// The plug-in module opened as a shared library, and its symbols looked up by
// name: dlopen and dlsym, or LoadLibrary and GetProcAddress on Windows.
#pragma once

#include <string>

namespace pelmora::tool::system {

void* openLibrary(const std::string& path);
void* findSymbol(void* library, const char* name);
void closeLibrary(void* library);
// Why the last openLibrary failed.
std::string libraryError();

}  // namespace pelmora::tool::system
