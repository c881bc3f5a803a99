// The export options dialog: four radio choices of the export mode, built and
// run through the host's dialog services.
#pragma once

#include <cstdint>

#include "plugin/host/host_abi.h"

namespace pelmora {

// What the host hands back to the dialog callback untouched.
struct ModeDialogContext {
    std::uint8_t firstCall = 1;
    std::int32_t mode = 3;
};

// Item numbers of the dialog; radio item kFirstModeItem + m stands for mode m.
inline constexpr std::int32_t kModeGroupItem = 3;
inline constexpr std::int32_t kFirstModeItem = 4;
inline constexpr std::int32_t kModeCount = 4;

// Shows the dialog with `mode` preselected. True when the user confirmed, and
// then `mode` holds the chosen mode; false leaves `mode` unchanged.
bool askMode(std::int32_t& mode);

// Called by the host while the dialog runs. The first call only sets the
// radio items from the context's mode; later calls take a clicked radio item
// as the new mode.
extern "C" void PELMORA_HOST_CALL modeDialogCallback(std::int32_t dialog, std::int32_t* item, std::int32_t value,
                                                     void* context);

}  // namespace pelmora
