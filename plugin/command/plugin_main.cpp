#include "command/plugin_main.h"

#include "command/export_sequence.h"
#include "command/qmx_exception.h"
#include "host/current_callback.h"
#include "host/services.h"

namespace pelmora {

bool checkCommandState() {
    HostHandle start = host::chainStart();
    HostHandle current = host::currentItem();
    HostHandle handle = start;
    HostHandle beforeCurrent = current;
    while (handle != nullptr && handle != current) {
        beforeCurrent = handle;
        handle = host::nextInChain(handle);
    }
    if (handle == nullptr) {
        host::showMessage(kMessageList, kMsgChainNotReached);
        return false;
    }
    if (beforeCurrent != start) {
        host::showMessage(kMessageList, kMsgChainTooDeep);
        return false;
    }
    if (!host::canRunCommand()) return false;
    host::commandPrologue();
    host::resetCommandState();
    return true;
}

std::int32_t pluginMain(std::int32_t action, std::int32_t, std::int32_t, HostCallback callback) {
    host::CallbackScope scope(callback);
    if (action != kActionRun) return 0;
    if (!checkCommandState()) return 0;
    try {
        runExport();
    } catch (...) {
        // Nothing may cross into the host; the guarded steps report their own
        // failures, so whatever reaches here ends the command quietly.
    }
    return 0;
}

}  // namespace pelmora
