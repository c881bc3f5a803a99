#include "plugin/command/plugin_main.h"

#include "plugin/command/export_sequence.h"
#include "plugin/command/run_guarded.h"
#include "plugin/host/chain_walk.h"
#include "plugin/host/current_callback.h"
#include "plugin/host/qmx_exception.h"
#include "plugin/host/services.h"

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
        // The guarded steps report their own failures and nothing leaves
        // their guard: this is a failure before it (reading the preference,
        // the options dialog, preparing the templates, most likely for want
        // of memory). It is reported as the guard reports one, once, and the
        // host's command state is reset all the same; nothing crosses into
        // the host.
        reportFailure(std::current_exception());
        resetCommandStateQuietly();
    }
    return 0;
}

}  // namespace pelmora
