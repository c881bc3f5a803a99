// The plug-in module loaded the way the host loads it: by file, with
// plugin_main (and the portable build's hook installer) looked up by name.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "plugin/host/host_abi.h"
#include "plugin/platform/portable_hooks.h"

namespace pelmora::tool {

class ModuleError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class PluginModule {
public:
    using PluginMain = std::int32_t(PELMORA_HOST_CALL*)(std::int32_t, std::int32_t, std::int32_t, HostCallback);
    using SetHooks = void(PELMORA_HOST_CALL*)(const PelmoraPortableHooks*);

    // Loads the module; throws ModuleError when it cannot be loaded or lacks
    // plugin_main or the hook installer.
    explicit PluginModule(const std::string& path);
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    std::int32_t pluginMain(std::int32_t action, HostCallback callback) const { return main_(action, 0, 0, callback); }
    void setHooks(const PelmoraPortableHooks* hooks) const { setHooks_(hooks); }

private:
    void* handle_ = nullptr;
    PluginMain main_ = nullptr;
    SetHooks setHooks_ = nullptr;
};

// The module the tool uses: PELMORA_MODULE from the environment when set,
// else the module shipped with the tool (beside pelmora.exe, or installed
// with it), else the module built with it.
std::string defaultModulePath();

}  // namespace pelmora::tool
