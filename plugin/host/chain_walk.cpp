#include "plugin/host/chain_walk.h"

#include "plugin/host/services.h"

namespace pelmora::host {

ChainPosition walkChainToCurrent() {
    ChainPosition position;
    position.start = chainStart();
    position.current = currentItem();
    position.beforeCurrent = position.current;
    HostHandle handle = position.start;
    while (handle != nullptr && handle != position.current) {
        position.beforeCurrent = handle;
        handle = nextInChain(handle);
    }
    position.reached = handle != nullptr;
    return position;
}

}  // namespace pelmora::host
