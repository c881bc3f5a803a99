#include "tool/export/export_module.h"

#include <cstdlib>
#include <cstring>

#include "platform/file_status.h"
#include "platform/plugin_library.h"
#include "platform/user_folders.h"

namespace pelmora::tool {
namespace {

using system::closeLibrary;
using system::findSymbol;

template <class Fn>
Fn symbolAs(void* symbol) {
    Fn fn;
    static_assert(sizeof fn == sizeof symbol);
    std::memcpy(&fn, &symbol, sizeof fn);
    return fn;
}

}  // namespace

PluginModule::PluginModule(const std::string& path) {
    handle_ = system::openLibrary(path);
    if (!handle_) throw ModuleError("cannot load the plug-in module " + path + ": " + system::libraryError());
    void* mainSymbol = findSymbol(handle_, "plugin_main");
    void* hooksSymbol = findSymbol(handle_, "pelmora_install_runner_hooks");
    if (!mainSymbol || !hooksSymbol) {
        closeLibrary(handle_);
        handle_ = nullptr;
        throw ModuleError("the module " + path + " does not export plugin_main and pelmora_install_runner_hooks");
    }
    main_ = symbolAs<PluginMain>(mainSymbol);
    setHooks_ = symbolAs<SetHooks>(hooksSymbol);
}

PluginModule::~PluginModule() {
    if (!handle_) return;
    setHooks_(nullptr);
    closeLibrary(handle_);
}

std::string defaultModulePath() {
    if (const char* fromEnvironment = std::getenv("PELMORA_MODULE"); fromEnvironment && *fromEnvironment)
        return fromEnvironment;
    // Shipped with the tool: beside pelmora.exe, or in lib/pelmora/ of the
    // prefix the tool is installed in.
    if (const std::string folder = system::programFolder(); !folder.empty()) {
        const std::string shipped = folder + PELMORA_SHIPPED_MODULE;
        if (system::pathKind(shipped) == system::PathKind::File) return shipped;
    }
    // The module built with the tool (on Windows its name, found beside the program).
    return PELMORA_DEFAULT_MODULE;
}

}  // namespace pelmora::tool
