#include "plugin/command/mode_dialog.h"

#include "plugin/host/services.h"

namespace pelmora {
namespace {

constexpr std::int32_t kDialogTextList = 12345;
constexpr std::size_t kTextSize = 64;
constexpr std::size_t kButtonTextSize = 32;

enum DialogText : std::int32_t {
    kTextTitle = 1,
    kTextConfirm = 2,
    kTextCancel = 3,
    kTextGroup = 4,
    kTextFirstMode = 5,
};

// Fetches one text of the dialog's list into `buffer`. The host is given no
// size; the buffer starts zeroed and its last byte is forced to NUL so that a
// host without the service, or one that fills the buffer, still leaves a
// terminated text.
template <std::size_t N>
void fetchText(std::int32_t index, char (&buffer)[N]) {
    host::getIndexedString(kDialogTextList, index, buffer);
    buffer[N - 1] = '\0';
}

}  // namespace

extern "C" void PELMORA_HOST_CALL modeDialogCallback(std::int32_t dialog, std::int32_t* item, std::int32_t,
                                                     void* context) {
    auto* state = static_cast<ModeDialogContext*>(context);
    if (!state) return;
    if (state->firstCall) {
        state->firstCall = 0;
        for (std::int32_t k = 0; k < kModeCount; ++k) host::setItemState(dialog, kFirstModeItem + k, state->mode == k);
        return;
    }
    if (!item) return;
    const std::int32_t clicked = *item;
    if (clicked >= kFirstModeItem && clicked < kFirstModeItem + kModeCount) state->mode = clicked - kFirstModeItem;
}

bool askMode(std::int32_t& mode) {
    char title[kTextSize] = {};
    char confirm[kButtonTextSize] = {};
    char cancel[kButtonTextSize] = {};
    char group[kTextSize] = {};
    char choices[kModeCount][kTextSize] = {};
    fetchText(kTextTitle, title);
    fetchText(kTextConfirm, confirm);
    fetchText(kTextCancel, cancel);
    fetchText(kTextGroup, group);
    for (std::int32_t k = 0; k < kModeCount; ++k) fetchText(kTextFirstMode + k, choices[k]);

    const std::int32_t dialog = host::createDialog(title, confirm, cancel);
    host::addGroup(dialog, kModeGroupItem, group);
    host::placeFirstItem(dialog, kModeGroupItem);
    host::addRadioButton(dialog, kFirstModeItem, choices[0]);
    host::placeInside(dialog, kModeGroupItem, kFirstModeItem);
    for (std::int32_t k = 0; k < kModeCount - 1; ++k) {
        host::addRadioButton(dialog, kFirstModeItem + 1 + k, choices[1 + k]);
        host::placeBelow(dialog, kFirstModeItem + k, kFirstModeItem + 1 + k);
    }
    if (!host::dialogReady(dialog)) return false;

    ModeDialogContext context;
    context.firstCall = 1;
    context.mode = mode;
    if (host::runDialog(dialog, modeDialogCallback, &context) != 1) return false;
    mode = context.mode;
    return true;
}

}  // namespace pelmora
