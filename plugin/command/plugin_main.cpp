#include "command/plugin_main.h"

#include "command/export_sequence.h"
#include "host/qmx_exception.h"
#include "host/chain_walk.h"
#include "host/current_callback.h"
#include "host/services.h"

namespace pelmora {

bool checkCommandState() {
    const host::ChainPosition chain = host::walkChainToCurrent();
    if (!chain.reached) {
        host::showMessage(kMessageList, kMsgChainNotReached);
        return false;
    }
    if (chain.beforeCurrent != chain.start) {
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
