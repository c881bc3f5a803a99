// What the emulated host records of a plug-in's run besides the drawing:
// the dialogs it was asked to show and how they are scripted to answer, the
// messages shown and the command calls.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pelmora::hostsim {

// How RunDialog behaves: it calls the plug-in's callback once (the first
// call), then once per click, then once with the button that ends the dialog,
// confirm (1) or cancel (2), and gives that as its result. NotReady makes
// DialogReady answer false, so the dialog never runs.
struct DialogScript {
    enum class Action { Confirm, Cancel, NotReady };
    Action action = Action::Confirm;
    std::vector<std::int32_t> clicks;  // item numbers clicked, in order
    std::optional<int> mode;           // export mode to pick: clicks item 4 + mode after `clicks`
    std::int32_t firstCallItem = 0;    // item reported on the first callback call
};

// One item of a dialog as the plug-in built it.
struct DialogItem {
    enum class Kind { Group, Radio };
    Kind kind = Kind::Radio;
    std::int32_t number = 0;
    std::string text;
    bool placedFirst = false;
    std::int32_t inside = 0;  // item it was placed inside (0: none)
    std::int32_t below = 0;   // item it was placed below (0: none)
    bool state = false;       // on or off: set by the plug-in, or by a scripted click on a radio item
};

struct DialogRecord {
    std::int32_t id = 0;
    std::string title, confirm, cancel;
    std::vector<DialogItem> items;
    std::vector<std::pair<std::int32_t, bool>> stateLog;  // every SetItemState, in order
    std::vector<std::int32_t> callbackItems;              // item of every callback call, in order
    bool ran = false;
    std::int32_t result = 0;  // what RunDialog gave: 1 confirm, 2 cancel

    const DialogItem* item(std::int32_t number) const;
};

// Dialog results.
inline constexpr std::int32_t kDialogConfirmed = 1;
inline constexpr std::int32_t kDialogCancelled = 2;

struct ShownMessage {
    std::int32_t list = 0;
    std::int32_t index = 0;
    std::string text;
};

// A call of CommandPrologue (148, argument 0) or ResetCommandState (73).
struct CommandCall {
    std::int32_t service = 0;
    std::int32_t argument = 0;
};

}  // namespace pelmora::hostsim
