// The emulated host: holds a drawing and answers every numbered host service
// over it through a HostCallback, recording messages, dialogs and faults.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hostsim/drawing.h"
#include "plugin/host/host_abi.h"

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

class EmulatedHost {
public:
    explicit EmulatedHost(Drawing drawing);
    ~EmulatedHost();
    EmulatedHost(const EmulatedHost&) = delete;
    EmulatedHost& operator=(const EmulatedHost&) = delete;

    // Makes this the active host (one at a time per process) and gives the
    // lookup function to hand to the plug-in. The destructor deactivates it.
    HostCallback callback();
    static EmulatedHost* active();

    // Folders of GetFolderPath: kind 1 base folder, kind 2 user data folder;
    // the path should end with '/'. Unset kinds answer kFolderPathMissing.
    void setFolder(std::int32_t kind, std::string path);

    // Switching a service off makes the lookup answer null for it.
    void disableService(std::int32_t service);
    void enableService(std::int32_t service);
    bool serviceEnabled(std::int32_t service) const;
    // How many times the plug-in called a service (through its address).
    int callCount(std::int32_t service) const;

    DialogScript& dialogScript();
    const std::vector<DialogRecord>& dialogs() const;

    const std::vector<ShownMessage>& messages() const;
    void onMessage(std::function<void(const ShownMessage&)> observer);
    // The host's text of a list entry (what GetIndexedString and ShowMessage use); empty when none.
    static std::string indexedString(std::int32_t list, std::int32_t index);

    const std::vector<CommandCall>& commandLog() const;

    // Faults: handles the host never gave, of the wrong kind, or disposed.
    const std::vector<std::string>& faults() const;
    void setAbortOnFault(bool abortOnFault);
    int liveTemporaries() const;
    // Temporary objects never disposed: call once the plug-in has returned.
    int leakedTemporaries() const;

    // Whether the plug-in created, deleted or wrote (under lock) any record.
    bool recordsChanged() const;
    // The drawing with its records as the plug-in left them.
    Drawing drawing() const;
    // The drawing as it was handed to the host, its records as they were read.
    const Drawing& drawingAsGiven() const;

    // Handles for tests. Index paths go through group members:
    // objectHandle("Ground", {2, 0}) is member 0 of the layer's object 2.
    HostHandle headerHandle() const;     // chain start, holds the view
    HostHandle layerListHandle() const;  // second chain element
    HostHandle thirdElementHandle() const;
    HostHandle outsideItemHandle() const;  // CurrentItem for currentItem 0
    HostHandle layerHandle(const std::string& layerName) const;
    HostHandle objectHandle(const std::string& layerName, const std::vector<int>& indexPath) const;
    HostHandle symbolHandle(const std::string& symbolName) const;
    // Records on an object, in order (handles: pointer to pointer to bytes).
    std::vector<HostHandle> recordHandles(HostHandle object) const;

    // The host's inside, for its own service functions.
    struct Impl;
    Impl* implForServices() const;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace pelmora::hostsim
