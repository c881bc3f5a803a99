// Where the host's current item stands in its chain: the walk from the chain
// start through NextInChain that the pre-export checks, the camera and the
// geometry pass all make.
#pragma once

#include "plugin/host/host_abi.h"

namespace pelmora::host {

struct ChainPosition {
    HostHandle start = nullptr;          // ChainStart
    HostHandle current = nullptr;        // CurrentItem
    HostHandle beforeCurrent = nullptr;  // last handle visited before current; current itself when start is current
    bool reached = false;                // false when the walk ran off the chain's end
    // The current item is the chain start or the element right after it.
    bool nearStart() const { return reached && beforeCurrent == start; }
};

ChainPosition walkChainToCurrent();

}  // namespace pelmora::host
