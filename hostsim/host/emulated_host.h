// The emulated host: holds a drawing and answers every numbered host service
// over it through a HostCallback, recording messages, dialogs and faults.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hostsim/document/drawing.h"
#include "hostsim/host/host_log.h"
#include "plugin/host/host_abi.h"

namespace pelmora::hostsim {

struct HostState;  // hostsim/host_impl.h

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
    HostState* implForServices() const;

private:
    std::unique_ptr<HostState> impl_;
};

}  // namespace pelmora::hostsim
