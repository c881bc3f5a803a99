// The symbols the module exports: plugin_main for the host and, in the portable
// build only, the hook through which a runner stands in for the platform's
// dialogs, keys and cursors.
#include <cstdint>

#include "command/plugin_main.h"
#include "host/host_abi.h"
#include "platform/portable_hooks.h"

#if defined(_WIN32)
#define PELMORA_EXPORT __declspec(dllexport)
#else
#define PELMORA_EXPORT __attribute__((visibility("default")))
#endif

extern "C" PELMORA_EXPORT std::int32_t plugin_main(std::int32_t action, std::int32_t reserved1,
                                                   std::int32_t reserved2, HostCallback callback) {
    return pelmora::pluginMain(action, reserved1, reserved2, callback);
}

#if !defined(_WIN32)
extern "C" PELMORA_EXPORT void pelmora_set_portable_hooks(const PelmoraPortableHooks* hooks) {
    pelmora::platform::setPortableHooks(hooks);
}
#endif
