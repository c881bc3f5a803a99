// The entry point behind the exported plugin_main: makes the host's callback
// current for the call and runs the export command for action 3.
#pragma once

#include <cstdint>

#include "plugin/host/host_abi.h"

namespace pelmora {

inline constexpr std::int32_t kActionRun = 3;

// Always gives 0, as the host expects for every action.
std::int32_t pluginMain(std::int32_t action, std::int32_t reserved1, std::int32_t reserved2, HostCallback callback);

// The pre-export checks: the current item must be the host's chain start or
// the element right after it, and the host must allow the command. Shows
// 11011/6 or 11011/7 for a failed chain check.
bool checkCommandState();

}  // namespace pelmora
