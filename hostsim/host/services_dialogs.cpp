// The dialog services of the emulated host: a dialog is built item by item as
// the plug-in asks, and run by the script of whoever runs the host, calling
// the plug-in's callback the way a modal dialog loop does.
#include "hostsim/host/host_impl.h"

namespace pelmora::hostsim {
namespace {

using namespace pelmora::host;

std::string textOf(const char* text) { return text == nullptr ? std::string() : std::string(text); }

// The dialog with that id, or null after recording a fault. Looked up anew
// after every callback: the plug-in may build dialogs while one runs.
DialogRecord* dialogOf(HostState& host, std::int32_t id, std::int32_t service) {
    if (id < 1 || static_cast<std::size_t>(id) > host.dialogs.size()) {
        host.fault(service, "dialog " + std::to_string(id) + " was never created");
        return nullptr;
    }
    return &host.dialogs[static_cast<std::size_t>(id) - 1];
}

DialogItem* itemOf(HostState& host, DialogRecord& dialog, std::int32_t number, std::int32_t service) {
    for (DialogItem& i : dialog.items)
        if (i.number == number) return &i;
    host.fault(service, "dialog " + std::to_string(dialog.id) + " has no item " + std::to_string(number));
    return nullptr;
}

void addItem(HostState& host, std::int32_t id, std::int32_t number, const char* text, DialogItem::Kind kind,
             std::int32_t service) {
    DialogRecord* dialog = dialogOf(host, id, service);
    if (dialog == nullptr) return;
    if (dialog->ran) {
        host.fault(service, "an item added to a dialog that has already run");
        return;
    }
    for (const DialogItem& i : dialog->items) {
        if (i.number == number) {
            host.fault(service, "dialog " + std::to_string(id) + " already has an item " + std::to_string(number));
            return;
        }
    }
    DialogItem item;
    item.kind = kind;
    item.number = number;
    item.text = textOf(text);
    dialog->items.push_back(std::move(item));
}

std::int32_t createDialog(const char* title, std::int32_t, const char* confirm, const char* cancel) {
    auto& host = serviceHost(kCreateDialog);
    DialogRecord dialog;
    dialog.id = static_cast<std::int32_t>(host.dialogs.size()) + 1;
    dialog.title = textOf(title);
    dialog.confirm = textOf(confirm);
    dialog.cancel = textOf(cancel);
    host.dialogs.push_back(std::move(dialog));
    return host.dialogs.back().id;
}

void addGroup(std::int32_t id, std::int32_t item, const char* text, std::int32_t) {
    auto& host = serviceHost(kAddGroup);
    addItem(host, id, item, text, DialogItem::Kind::Group, kAddGroup);
}

void addRadioButton(std::int32_t id, std::int32_t item, const char* text) {
    auto& host = serviceHost(kAddRadioButton);
    addItem(host, id, item, text, DialogItem::Kind::Radio, kAddRadioButton);
}

HostBool dialogReady(std::int32_t id) {
    auto& host = serviceHost(kDialogReady);
    if (dialogOf(host, id, kDialogReady) == nullptr) return 0;
    return host.script.action == DialogScript::Action::NotReady ? 0 : 1;
}

HostBool placeFirstItem(std::int32_t id, std::int32_t number) {
    auto& host = serviceHost(kPlaceFirstItem);
    DialogRecord* dialog = dialogOf(host, id, kPlaceFirstItem);
    DialogItem* item = dialog == nullptr ? nullptr : itemOf(host, *dialog, number, kPlaceFirstItem);
    if (item == nullptr) return 0;
    item->placedFirst = true;
    return 1;
}

HostBool placeInside(std::int32_t id, std::int32_t outer, std::int32_t inner) {
    auto& host = serviceHost(kPlaceInside);
    DialogRecord* dialog = dialogOf(host, id, kPlaceInside);
    if (dialog == nullptr) return 0;
    DialogItem* container = itemOf(host, *dialog, outer, kPlaceInside);
    DialogItem* item = itemOf(host, *dialog, inner, kPlaceInside);
    if (container == nullptr || item == nullptr) return 0;
    if (container->kind != DialogItem::Kind::Group) {
        host.fault(kPlaceInside, "item " + std::to_string(outer) + " is not a group");
        return 0;
    }
    item->inside = outer;
    return 1;
}

HostBool placeBelow(std::int32_t id, std::int32_t above, std::int32_t number, std::int32_t, std::int32_t) {
    auto& host = serviceHost(kPlaceBelow);
    DialogRecord* dialog = dialogOf(host, id, kPlaceBelow);
    if (dialog == nullptr) return 0;
    DialogItem* upper = itemOf(host, *dialog, above, kPlaceBelow);
    DialogItem* item = itemOf(host, *dialog, number, kPlaceBelow);
    if (upper == nullptr || item == nullptr) return 0;
    item->below = above;
    item->inside = upper->inside;  // an item below another shares its container
    return 1;
}

void setItemState(std::int32_t id, std::int32_t number, HostBool on) {
    auto& host = serviceHost(kSetItemState);
    DialogRecord* dialog = dialogOf(host, id, kSetItemState);
    DialogItem* item = dialog == nullptr ? nullptr : itemOf(host, *dialog, number, kSetItemState);
    if (item == nullptr) return;
    item->state = on != 0;
    dialog->stateLog.emplace_back(number, on != 0);
}

// A click on a radio item turns it on and the other radio items of its group off.
void clickRadio(DialogRecord& dialog, std::int32_t number) {
    const DialogItem* clicked = dialog.item(number);
    if (clicked == nullptr || clicked->kind != DialogItem::Kind::Radio) return;
    for (DialogItem& i : dialog.items)
        if (i.kind == DialogItem::Kind::Radio && i.inside == clicked->inside) i.state = i.number == number;
}

std::int32_t runDialog(std::int32_t id, HostDialogCallback callback, void* context) {
    auto& host = serviceHost(kRunDialog);
    DialogRecord* dialog = dialogOf(host, id, kRunDialog);
    if (dialog == nullptr) return 0;
    if (dialog->ran) {
        host.fault(kRunDialog, "dialog " + std::to_string(id) + " run a second time");
        return 0;
    }
    dialog->ran = true;
    const DialogScript script = host.script;
    if (script.action == DialogScript::Action::NotReady) {
        host.fault(kRunDialog, "a dialog run although the host reported it not ready");
        dialog->result = kDialogCancelled;
        return kDialogCancelled;
    }
    auto call = [&](std::int32_t item, bool click) {
        if (click) clickRadio(host.dialogs[static_cast<std::size_t>(id) - 1], item);
        host.dialogs[static_cast<std::size_t>(id) - 1].callbackItems.push_back(item);
        if (callback != nullptr) callback(id, &item, 0, context);
    };
    // The first call sets the dialog up; then one call per click, then the
    // button that ends the dialog.
    call(script.firstCallItem, false);
    for (std::int32_t item : script.clicks) call(item, true);
    if (script.mode) call(4 + *script.mode, true);
    const std::int32_t result = script.action == DialogScript::Action::Confirm ? kDialogConfirmed : kDialogCancelled;
    call(result, false);
    host.dialogs[static_cast<std::size_t>(id) - 1].result = result;
    return result;
}

}  // namespace

void addDialogServices(ServiceTable& t) {
    t[kCreateDialog] = serviceAddress<sig::CreateDialog>(&createDialog);
    t[kAddGroup] = serviceAddress<sig::AddGroup>(&addGroup);
    t[kAddRadioButton] = serviceAddress<sig::AddRadioButton>(&addRadioButton);
    t[kDialogReady] = serviceAddress<sig::DialogReady>(&dialogReady);
    t[kPlaceFirstItem] = serviceAddress<sig::PlaceFirstItem>(&placeFirstItem);
    t[kPlaceInside] = serviceAddress<sig::PlaceInside>(&placeInside);
    t[kPlaceBelow] = serviceAddress<sig::PlaceBelow>(&placeBelow);
    t[kSetItemState] = serviceAddress<sig::SetItemState>(&setItemState);
    t[kRunDialog] = serviceAddress<sig::RunDialog>(&runDialog);
}

}  // namespace pelmora::hostsim
