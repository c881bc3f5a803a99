#include "tool/export_module.h"

#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace pelmora::tool {
namespace {

#if defined(_WIN32)
void* openModule(const std::string& path) { return reinterpret_cast<void*>(LoadLibraryA(path.c_str())); }
void* findSymbol(void* module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}
void closeModule(void* module) { FreeLibrary(static_cast<HMODULE>(module)); }
std::string lastError() { return "error " + std::to_string(GetLastError()); }
#else
void* openModule(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }
void* findSymbol(void* module, const char* name) { return dlsym(module, name); }
void closeModule(void* module) { dlclose(module); }
std::string lastError() {
    const char* text = dlerror();
    return text ? text : "unknown error";
}
#endif

template <class Fn>
Fn symbolAs(void* symbol) {
    Fn fn;
    static_assert(sizeof fn == sizeof symbol);
    std::memcpy(&fn, &symbol, sizeof fn);
    return fn;
}

}  // namespace

PluginModule::PluginModule(const std::string& path) {
    handle_ = openModule(path);
    if (!handle_) throw ModuleError("cannot load the plug-in module " + path + ": " + lastError());
    void* mainSymbol = findSymbol(handle_, "plugin_main");
    void* hooksSymbol = findSymbol(handle_, "pelmora_install_runner_hooks");
    if (!mainSymbol || !hooksSymbol) {
        closeModule(handle_);
        handle_ = nullptr;
        throw ModuleError("the module " + path + " does not export plugin_main and pelmora_install_runner_hooks");
    }
    main_ = symbolAs<PluginMain>(mainSymbol);
    setHooks_ = symbolAs<SetHooks>(hooksSymbol);
}

PluginModule::~PluginModule() {
    if (!handle_) return;
    setHooks_(nullptr);
    closeModule(handle_);
}

std::string defaultModulePath() {
    if (const char* fromEnvironment = std::getenv("PELMORA_MODULE"); fromEnvironment && *fromEnvironment)
        return fromEnvironment;
    return PELMORA_DEFAULT_MODULE;
}

}  // namespace pelmora::tool
