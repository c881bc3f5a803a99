// Inside the emulated host: the nodes its handles point to, its state, and the
// checks every service makes on the handles it is given. Only hostsim/ sees it.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "hostsim/document/drawing.h"
#include "hostsim/host/host_log.h"
#include "hostsim/host/host_node.h"
#include "hostsim/host/node_table.h"
#include "plugin/host/host_abi.h"

namespace pelmora::hostsim {

// Type codes the host reports for what is not a drawing object of the document.
inline constexpr std::int16_t kLayerCode = host::kTypeLayer;
inline constexpr std::int16_t kSymbolCode = host::kTypeSymbol;
inline constexpr std::int16_t kChainCode = host::kTypeChainElement;
inline constexpr std::int16_t kRecordCode = host::kTypeRecord;

// Size of the host's own record behind a layer handle for versions below 15,
// and where the layer's elevation lies in it.
inline constexpr std::size_t kLayerRecordSize = host::kLayerRecordSize;
inline constexpr std::size_t kLayerElevationOffset = host::kLayerElevationOffset;
// From version 15 on the host keeps no elevation there: the record is small,
// so that a plug-in reading byte 504 anyway is caught by the sanitizers.
inline constexpr std::size_t kModernLayerRecordSize = 16;
inline constexpr int kFirstVersionWithoutLayerRecord = 15;

// With this tag the record searches match a record of any tag, so that the
// search by name finds every record of the object.
inline constexpr std::uint32_t kAnyRecordTag = 1379157095;

using ServiceTable = std::array<HostServiceAddress, 621>;
// The address of a service function, whose type must be exactly the service's signature.
template <class Signature>
HostServiceAddress serviceAddress(Signature function) {
    return reinterpret_cast<HostServiceAddress>(function);
}
void addDrawingServices(ServiceTable& table);
void addObjectServices(ServiceTable& table);
void addRecordServices(ServiceTable& table);
void addEnvironmentServices(ServiceTable& table);
void addDialogServices(ServiceTable& table);

struct HostState {
    explicit HostState(Drawing d);

    // --- state ---
    Drawing drawing;
    NodeTable table;
    std::deque<std::vector<std::uint8_t>> byteStore;  // bytes behind records and layers
    const Node* lastChecked = nullptr;                // last handle found alive: repeated calls skip the lookup

    Node* header = nullptr;
    Node* layerList = nullptr;
    Node* thirdElement = nullptr;
    Node* outsideItem = nullptr;
    std::vector<Node*> layerNodes;  // in document order
    std::vector<Node*> symbolNodes;
    std::vector<Node*> objectNodes;  // drawing objects, depth first in document order; token = position + 1
    Node* activeLayer = nullptr;
    std::unordered_map<std::string, Node*> layerByName, symbolByName;
    // Class name to its 1-based index: one lookup per object, whatever the count of classes.
    std::unordered_map<std::string_view, std::int32_t> classByName;

    std::array<bool, 621> disabled{};
    ServiceTable answered{};  // the service table less the services switched off: what the lookup gives
    std::array<int, 621> calls{};
    std::string folders[3];
    bool folderSet[3] = {false, false, false};

    DialogScript script;
    std::vector<DialogRecord> dialogs;
    std::vector<ShownMessage> messages;
    std::function<void(const ShownMessage&)> messageObserver;
    std::vector<CommandCall> commandLog;
    std::vector<std::string> faults;
    bool abortOnFault = false;
    // Temporary objects: each one's nodes side by side, its root first. A
    // disposed one's nodes are kept (marked dead, so that later use is a
    // fault) until more than kDisposedNodesKept nodes wait; the oldest go then.
    int liveTemporaryCount = 0;
    static constexpr std::size_t kDisposedNodesKept = std::size_t{1} << 20;

    // --- building ---
    Node* newNode(NodeKind kind);
    std::uint8_t* newBytes(std::size_t size);
    Node* buildObject(const DrawingObject& object);
    // A temporary object made of the polygons of a drawing object, null when it has none.
    Node* makeTemporary(const Node& source);
    Node* makeTemporaryMesh(const Node& source);
    void disposeTemporary(Node* root);
    std::int32_t classIndexOf(const std::string& name) const;

    // --- checks ---
    void fault(std::int32_t service, const std::string& what);
    // The node behind a handle, or null after recording a fault: unknown,
    // disposed. Null handles give null without a fault (queries on "no
    // object" answer their fallback).
    Node* anyNode(HostHandle handle, std::int32_t service);
    Node* checkedNode(HostHandle handle, std::int32_t service);                  // anyNode past its shortcut
    Node* wrongKind(HostHandle handle, std::int32_t service, const char* what);  // records the fault, gives null
    // As anyNode, and a record is the wrong kind.
    Node* objectNode(HostHandle handle, std::int32_t service);
    // As anyNode, and only a record is the right kind.
    Node* recordNode(HostHandle handle, std::int32_t service);
    void dispose(Node* node);

    // --- reading back ---
    Drawing currentDrawing() const;
};

// The inside of the active host, null when none is; set with the active host.
extern HostState* gActiveImpl;
// The lookup function the active host gave the plug-in.
HostCallback serviceLookup();
// The host's text of a list entry (GetIndexedString, ShowMessage); empty when none.
std::string indexedText(std::int32_t list, std::int32_t index);
[[noreturn]] void noActiveHost(std::int32_t service);

// The host the services answer for, with the call counted; aborts when none
// is active (a service address used outside any host is a fault of the caller
// that nothing can answer). Inline: every service call goes through here.
inline HostState& serviceHost(std::int32_t service) {
    HostState* impl = gActiveImpl;
    if (impl == nullptr) [[unlikely]]
        noActiveHost(service);
    ++impl->calls[static_cast<std::size_t>(service)];
    return *impl;
}

inline Node* HostState::anyNode(HostHandle handle, std::int32_t service) {
    // Repeated calls on one handle (a polygon's vertices) skip the search.
    if (handle == lastChecked && handle != nullptr) return static_cast<Node*>(const_cast<void*>(handle));
    return checkedNode(handle, service);
}

inline Node* HostState::objectNode(HostHandle handle, std::int32_t service) {
    Node* n = anyNode(handle, service);
    if (n != nullptr && n->kind == NodeKind::Record) [[unlikely]]
        return wrongKind(handle, service, "is a record, not an object");
    return n;
}

// Writes a length-prefixed name of at most 255 bytes into a 256-byte buffer.
void writeHostName(const std::string& text, std::uint8_t* out256);

}  // namespace pelmora::hostsim
