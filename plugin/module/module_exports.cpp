// The symbols the module exports, on every platform, and nothing else:
//   plugin_main                   the host's entry point;
//   pelmora_install_runner_hooks  lets a runner (the tool, a test program)
//                                 answer the save dialog and the message box,
//                                 poll for abort and see the busy cursor in
//                                 place of the platform's dialogs, keys and
//                                 cursor. A host never calls it, so in a host
//                                 the plug-in uses the real Windows calls.
#include <cstdint>

#include "plugin/command/plugin_main.h"
#include "plugin/host/host_abi.h"
#include "plugin/platform/portable_hooks.h"

#if defined(_WIN32)
#define PELMORA_EXPORT __declspec(dllexport)
#else
#define PELMORA_EXPORT __attribute__((visibility("default")))
#endif

extern "C" PELMORA_EXPORT std::int32_t PELMORA_HOST_CALL plugin_main(std::int32_t action, std::int32_t reserved1,
                                                                     std::int32_t reserved2, HostCallback callback) {
    return pelmora::pluginMain(action, reserved1, reserved2, callback);
}

// Null goes back to the platform's own calls.
extern "C" PELMORA_EXPORT void PELMORA_HOST_CALL pelmora_install_runner_hooks(const PelmoraPortableHooks* hooks) {
    pelmora::platform::setPortableHooks(hooks);
}
