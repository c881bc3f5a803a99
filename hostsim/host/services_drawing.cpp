// The drawing services of the emulated host: the chain (drawing header with
// the view, layer list, a third element), the current item, the active layer,
// the view's placement and data, and the walk over the drawing's layers that
// calls back into the plug-in.
#include "hostsim/host/host_impl.h"

namespace pelmora::hostsim {
namespace {

using namespace pelmora::host;

bool isChainElement(const Node* n) {
    return n->kind == NodeKind::Header || n->kind == NodeKind::LayerList || n->kind == NodeKind::ThirdElement ||
           n->kind == NodeKind::OutsideItem;
}

HostHandle chainStart() {
    auto& host = serviceHost(kChainStart);
    return host.header;
}

HostHandle nextInChain(HostHandle h) {
    auto& host = serviceHost(kNextInChain);
    Node* n = host.objectNode(h, kNextInChain);
    if (n == nullptr) return nullptr;
    if (!isChainElement(n)) {
        host.fault(kNextInChain, "the handle is not an element of the chain");
        return nullptr;
    }
    return n->next;
}

HostHandle currentItem() {
    auto& host = serviceHost(kCurrentItem);
    switch (host.drawing.currentItem) {
        case 1:
            return host.header;
        case 2:
            return host.layerList;
        case 3:
            return host.thirdElement;
        default:
            return host.outsideItem;
    }
}

HostHandle drawingRoot() {
    auto& host = serviceHost(kDrawingRoot);
    return host.activeLayer;
}

// The view services answer for the element that holds the view.
const View* viewOf(HostState& host, HostHandle h, std::int32_t service) {
    Node* n = host.objectNode(h, service);
    if (n == nullptr) return nullptr;
    if (n->kind != NodeKind::Header) {
        host.fault(service, "the handle does not hold the view");
        return nullptr;
    }
    return host.drawing.view ? &*host.drawing.view : nullptr;
}

std::int16_t viewKind(HostHandle h) {
    auto& host = serviceHost(kViewKind);
    Node* n = host.objectNode(h, kViewKind);
    if (n == nullptr) return -1;
    if (n->kind != NodeKind::Header) {
        host.fault(kViewKind, "the handle does not hold the view");
        return -1;
    }
    // A drawing without a view reports a kind other than perspective.
    return host.drawing.view && host.drawing.view->perspective ? 1 : 0;
}

void getObjectPlacement(HostHandle h, double* twelve) {
    auto& host = serviceHost(kGetObjectPlacement);
    const View* v = viewOf(host, h, kGetObjectPlacement);
    if (v == nullptr || twelve == nullptr) return;
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column) twelve[row * 3 + column] = v->rotation[row][column];
    twelve[9] = v->origin.x;
    twelve[10] = v->origin.y;
    twelve[11] = v->origin.z;
}

void getViewData(HostHandle h, double* d, double* f, double* box4) {
    auto& host = serviceHost(kGetViewData);
    const View* v = viewOf(host, h, kGetViewData);
    if (v == nullptr) return;
    if (d != nullptr) *d = v->distance;
    if (f != nullptr) *f = v->focal;
    if (box4 != nullptr)
        for (int i = 0; i < 4; ++i) box4[i] = v->box[i];
}

void forEachObject(HostObjectCallback callback, void* context, HostCallback current) {
    auto& host = serviceHost(kForEachObject);
    if (callback == nullptr) {
        host.fault(kForEachObject, "no callback to call");
        return;
    }
    if (current == nullptr) current = serviceLookup();
    // A callback that never leads to the end would keep the host here for
    // ever: more steps than the host has handles means it does not advance.
    std::size_t steps = 0;
    const std::size_t limit = host.table.givenCount() + 1;
    HostHandle object = host.layerList->first;
    while (object != nullptr) {
        if (++steps > limit) {
            host.fault(kForEachObject, "the callback keeps giving objects without ever ending the walk");
            return;
        }
        object = callback(object, current, context);
        // The plug-in may have made or disposed handles while it ran; what it
        // gives back must still be a live handle.
        if (object != nullptr && host.anyNode(object, kForEachObject) == nullptr) return;
    }
}

}  // namespace

void addDrawingServices(ServiceTable& t) {
    t[kChainStart] = serviceAddress<sig::ChainStart>(&chainStart);
    t[kNextInChain] = serviceAddress<sig::NextInChain>(&nextInChain);
    t[kCurrentItem] = serviceAddress<sig::CurrentItem>(&currentItem);
    t[kDrawingRoot] = serviceAddress<sig::DrawingRoot>(&drawingRoot);
    t[kViewKind] = serviceAddress<sig::ViewKind>(&viewKind);
    t[kGetObjectPlacement] = serviceAddress<sig::GetObjectPlacement>(&getObjectPlacement);
    t[kGetViewData] = serviceAddress<sig::GetViewData>(&getViewData);
    t[kForEachObject] = serviceAddress<sig::ForEachObject>(&forEachObject);
}

}  // namespace pelmora::hostsim
