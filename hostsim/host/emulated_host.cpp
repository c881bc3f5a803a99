#include "hostsim/host/emulated_host.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "hostsim/document/record_check.h"
#include "hostsim/host/host_impl.h"

namespace pelmora::hostsim {
namespace {

EmulatedHost* gActive = nullptr;

const ServiceTable& serviceTable() {
    static const ServiceTable table = [] {
        ServiceTable t{};
        addObjectServices(t);
        addDrawingServices(t);
        addRecordServices(t);
        addEnvironmentServices(t);
        addDialogServices(t);
        return t;
    }();
    return table;
}

// The active host's table of what it answers, set with the active host: the
// lookup is on the path of every service call, one bounds check and one load.
const ServiceTable* gAnswered = nullptr;

HostServiceAddress lookupService(std::int32_t service) {
    const ServiceTable* table = gAnswered;
    if (table == nullptr || static_cast<std::uint32_t>(service) >= table->size()) return nullptr;
    return (*table)[static_cast<std::size_t>(service)];
}

std::string describe(const void* handle) {
    std::ostringstream text;
    text << handle;
    return text.str();
}

}  // namespace

// ---------------------------------------------------------------- building

HostState::HostState(Drawing d) : drawing(std::move(d)), answered(serviceTable()) {
    // Handing over a record shorter than the plug-in reads would let it read
    // and write past the record's end.
    checkRecordSizes(drawing);
    classByName.reserve(drawing.classes.size());
    for (std::size_t i = 0; i < drawing.classes.size(); ++i)
        classByName.emplace(drawing.classes[i], static_cast<std::int32_t>(i) + 1);  // the first of a name counts
    header = newNode(NodeKind::Header);
    layerList = newNode(NodeKind::LayerList);
    thirdElement = newNode(NodeKind::ThirdElement);
    outsideItem = newNode(NodeKind::OutsideItem);
    for (Node* n : {header, layerList, thirdElement, outsideItem}) n->type = kChainCode;
    header->next = layerList;
    layerList->next = thirdElement;

    for (const Symbol& s : drawing.symbols) {
        Node* n = newNode(NodeKind::Symbol);
        n->type = kSymbolCode;
        n->definitionKind = s.kind;
        n->name = &s.name;
        symbolNodes.push_back(n);
        symbolByName.emplace(s.name, n);
    }
    const bool ownRecord = drawing.hostVersion < kFirstVersionWithoutLayerRecord;
    for (const Layer& l : drawing.layers) {
        Node* n = newNode(NodeKind::Layer);
        n->type = kLayerCode;
        n->visible = l.visible;
        n->name = &l.name;
        n->data = newBytes(ownRecord ? kLayerRecordSize : kModernLayerRecordSize);
        if (ownRecord) std::memcpy(n->data + kLayerElevationOffset, &l.elevation, sizeof(double));
        if (!layerNodes.empty()) layerNodes.back()->next = n;
        layerNodes.push_back(n);
        layerByName.emplace(l.name, n);
    }
    if (!layerNodes.empty()) layerList->first = layerNodes.front();
    for (std::size_t i = 0; i < drawing.layers.size(); ++i) {
        Node* previous = nullptr;
        for (const DrawingObject& o : drawing.layers[i].objects) {
            Node* n = buildObject(o);
            (previous == nullptr ? layerNodes[i]->first : previous->next) = n;
            previous = n;
        }
        if (drawing.layers[i].name == drawing.activeLayer) activeLayer = layerNodes[i];
    }
    if (activeLayer == nullptr && !layerNodes.empty()) activeLayer = layerNodes.front();
}

Node* HostState::newNode(NodeKind kind) {
    Node* n = table.add();
    n->kind = kind;
    return n;
}

std::uint8_t* HostState::newBytes(std::size_t size) {
    std::vector<std::uint8_t>& bytes = byteStore.emplace_back(size, std::uint8_t{0});
    return bytes.data();
}

std::int32_t HostState::classIndexOf(const std::string& name) const {
    const auto it = classByName.find(name);
    return it == classByName.end() ? 0 : it->second;
}

Node* HostState::buildObject(const DrawingObject& o) {
    Node* n = newNode(NodeKind::Object);
    objectNodes.push_back(n);
    n->token = static_cast<std::int32_t>(objectNodes.size());
    n->object = &o;
    n->type = o.type;
    n->classIndex = classIndexOf(o.className);
    n->visible = o.visible;
    n->selected = o.selected;
    n->name = &o.name;
    if (o.type == kCodePolygon) {
        setPolygonPoints(*n, o.points);
        n->closed = o.closed;
        n->vertexData = o.vertexData;
    }
    if (o.type == kCodeInstance && !o.symbol.empty()) {
        if (auto it = symbolByName.find(o.symbol); it != symbolByName.end()) n->definition = it->second;
    }
    if (o.type == kCodeReference && o.referredLayer) {
        if (auto it = layerByName.find(*o.referredLayer); it != layerByName.end()) n->definition = it->second;
    }
    Node* lastRecord = nullptr;
    for (const AuxRecord& r : o.records) {
        Node* rec = newNode(NodeKind::Record);
        rec->type = kRecordCode;
        rec->owner = n;
        rec->tag = r.tag;
        rec->byteCount = r.bytes.size();
        rec->data = newBytes(r.bytes.size());
        if (!r.bytes.empty()) std::memcpy(rec->data, r.bytes.data(), r.bytes.size());
        (lastRecord == nullptr ? n->firstRecord : lastRecord->next) = rec;
        lastRecord = rec;
    }
    Node* previous = nullptr;
    for (const DrawingObject& m : o.members) {
        Node* child = buildObject(m);
        (previous == nullptr ? n->first : previous->next) = child;
        previous = child;
    }
    return n;
}

// ---------------------------------------------------------------- checks

void HostState::fault(std::int32_t service, const std::string& what) {
    std::string text = "service " + std::to_string(service) + ": " + what;
    faults.push_back(text);
    if (abortOnFault) {
        std::fprintf(stderr, "emulated host fault: %s\n", text.c_str());
        std::abort();
    }
}

Node* HostState::checkedNode(HostHandle handle, std::int32_t service) {
    if (handle == nullptr) return nullptr;
    Node* n = table.find(handle);
    if (n == nullptr) {
        fault(service, "handle " + describe(handle) + " was never given by the host");
        return nullptr;
    }
    if (!n->alive) {
        fault(service, "handle " + describe(handle) + " was used after it was disposed");
        return nullptr;
    }
    lastChecked = n;
    return n;
}

Node* HostState::wrongKind(HostHandle handle, std::int32_t service, const char* what) {
    fault(service, "handle " + describe(handle) + " " + what);
    return nullptr;
}

Node* HostState::recordNode(HostHandle handle, std::int32_t service) {
    Node* n = anyNode(handle, service);
    if (n != nullptr && n->kind != NodeKind::Record) {
        fault(service, "handle " + describe(handle) + " is not a record");
        return nullptr;
    }
    return n;
}

void HostState::dispose(Node* n) {
    for (Node* m = n->first; m != nullptr; m = m->next) dispose(m);
    n->alive = false;
    if (lastChecked == n) lastChecked = nullptr;
}

Drawing HostState::currentDrawing() const {
    Drawing copy = drawing;
    std::size_t next = 0;
    std::function<void(DrawingObject&)> visit = [&](DrawingObject& o) {
        const Node* n = objectNodes[next++];
        o.records.clear();
        for (const Node* r = n->firstRecord; r != nullptr; r = r->next)
            o.records.push_back({r->tag, std::vector<std::uint8_t>(r->data, r->data + r->byteCount)});
        for (DrawingObject& m : o.members) visit(m);
    };
    for (Layer& l : copy.layers)
        for (DrawingObject& o : l.objects) visit(o);
    return copy;
}

HostState* gActiveImpl = nullptr;

void noActiveHost(std::int32_t service) {
    std::fprintf(stderr, "emulated host: service %d called while no host is active\n", static_cast<int>(service));
    std::abort();
}

void writeHostName(const std::string& text, std::uint8_t* out256) {
    if (out256 == nullptr) return;
    std::size_t length = std::min<std::size_t>(text.size(), 255);
    out256[0] = static_cast<std::uint8_t>(length);
    if (length > 0) std::memcpy(out256 + 1, text.data(), length);
}

// ---------------------------------------------------------------- public interface

EmulatedHost::EmulatedHost(Drawing drawing) : impl_(std::make_unique<HostState>(std::move(drawing))) {}

EmulatedHost::~EmulatedHost() {
    if (gActive == this) {
        gActive = nullptr;
        gActiveImpl = nullptr;
        gAnswered = nullptr;
    }
}

HostCallback EmulatedHost::callback() {
    gActive = this;
    gActiveImpl = impl_.get();
    gAnswered = &impl_->answered;
    return &lookupService;
}

EmulatedHost* EmulatedHost::active() { return gActive; }

HostCallback serviceLookup() { return &lookupService; }

std::string EmulatedHost::indexedString(std::int32_t list, std::int32_t index) { return indexedText(list, index); }

HostState* EmulatedHost::implForServices() const { return impl_.get(); }

void EmulatedHost::setFolder(std::int32_t kind, std::string path) {
    if (kind < 1 || kind > 2) return;
    impl_->folders[kind] = std::move(path);
    impl_->folderSet[kind] = true;
}

void EmulatedHost::disableService(std::int32_t service) {
    if (service >= 0 && service < static_cast<std::int32_t>(impl_->disabled.size())) {
        impl_->disabled[static_cast<std::size_t>(service)] = true;
        impl_->answered[static_cast<std::size_t>(service)] = nullptr;
    }
}

void EmulatedHost::enableService(std::int32_t service) {
    if (service >= 0 && service < static_cast<std::int32_t>(impl_->disabled.size())) {
        impl_->disabled[static_cast<std::size_t>(service)] = false;
        impl_->answered[static_cast<std::size_t>(service)] = serviceTable()[static_cast<std::size_t>(service)];
    }
}

bool EmulatedHost::serviceEnabled(std::int32_t service) const {
    if (service < 0 || service >= static_cast<std::int32_t>(impl_->disabled.size())) return false;
    return serviceTable()[static_cast<std::size_t>(service)] != nullptr &&
           !impl_->disabled[static_cast<std::size_t>(service)];
}

int EmulatedHost::callCount(std::int32_t service) const {
    if (service < 0 || service >= static_cast<std::int32_t>(impl_->calls.size())) return 0;
    return impl_->calls[static_cast<std::size_t>(service)];
}

DialogScript& EmulatedHost::dialogScript() { return impl_->script; }
const std::vector<DialogRecord>& EmulatedHost::dialogs() const { return impl_->dialogs; }
const std::vector<ShownMessage>& EmulatedHost::messages() const { return impl_->messages; }
void EmulatedHost::onMessage(std::function<void(const ShownMessage&)> observer) {
    impl_->messageObserver = std::move(observer);
}
const std::vector<CommandCall>& EmulatedHost::commandLog() const { return impl_->commandLog; }
const std::vector<std::string>& EmulatedHost::faults() const { return impl_->faults; }
void EmulatedHost::setAbortOnFault(bool abortOnFault) { impl_->abortOnFault = abortOnFault; }
int EmulatedHost::liveTemporaries() const { return impl_->liveTemporaryCount; }
int EmulatedHost::leakedTemporaries() const { return liveTemporaries(); }

bool EmulatedHost::recordsChanged() const {
    // The document's records are never touched: the live ones sit behind the
    // nodes. Compare the two object by object.
    for (const Node* n : impl_->objectNodes) {
        const std::vector<AuxRecord>& loaded = n->object->records;
        std::size_t i = 0;
        for (const Node* r = n->firstRecord; r != nullptr; r = r->next, ++i) {
            if (i >= loaded.size() || loaded[i].tag != r->tag || loaded[i].bytes.size() != r->byteCount) return true;
            if (r->byteCount > 0 && std::memcmp(loaded[i].bytes.data(), r->data, r->byteCount) != 0) return true;
        }
        if (i != loaded.size()) return true;
    }
    return false;
}

Drawing EmulatedHost::drawing() const { return impl_->currentDrawing(); }
const Drawing& EmulatedHost::drawingAsGiven() const { return impl_->drawing; }

HostHandle EmulatedHost::headerHandle() const { return impl_->header; }
HostHandle EmulatedHost::layerListHandle() const { return impl_->layerList; }
HostHandle EmulatedHost::thirdElementHandle() const { return impl_->thirdElement; }
HostHandle EmulatedHost::outsideItemHandle() const { return impl_->outsideItem; }

HostHandle EmulatedHost::layerHandle(const std::string& layerName) const {
    const auto it = impl_->layerByName.find(layerName);
    return it == impl_->layerByName.end() ? nullptr : it->second;
}

HostHandle EmulatedHost::objectHandle(const std::string& layerName, const std::vector<int>& indexPath) const {
    auto* container = static_cast<Node*>(layerHandle(layerName));
    Node* found = nullptr;
    for (int index : indexPath) {
        if (container == nullptr || index < 0) return nullptr;
        found = container->first;
        for (int i = 0; i < index && found != nullptr; ++i) found = found->next;
        container = found;
    }
    return found;
}

HostHandle EmulatedHost::symbolHandle(const std::string& symbolName) const {
    const auto it = impl_->symbolByName.find(symbolName);
    return it == impl_->symbolByName.end() ? nullptr : it->second;
}

std::vector<HostHandle> EmulatedHost::recordHandles(HostHandle object) const {
    std::vector<HostHandle> result;
    Node* n = object == nullptr ? nullptr : impl_->table.find(object);
    if (n == nullptr) return result;
    for (Node* r = n->firstRecord; r != nullptr; r = r->next) result.push_back(r);
    return result;
}

const DialogItem* DialogRecord::item(std::int32_t number) const {
    for (const DialogItem& i : items)
        if (i.number == number) return &i;
    return nullptr;
}

}  // namespace pelmora::hostsim
