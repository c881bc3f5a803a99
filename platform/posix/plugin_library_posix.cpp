#include "platform/plugin_library.h"

#include <dlfcn.h>

namespace pelmora::tool::system {

void* openLibrary(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }
void* findSymbol(void* library, const char* name) { return dlsym(library, name); }
void closeLibrary(void* library) { dlclose(library); }
std::string libraryError() {
    const char* text = dlerror();
    return text ? text : "unknown error";
}

}  // namespace pelmora::tool::system
