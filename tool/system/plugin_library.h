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

// The module shipped with the tool when the build names none: beside the
// program on Windows; empty elsewhere.
std::string moduleBesideProgram();

}  // namespace pelmora::tool::system
