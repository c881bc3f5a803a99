#include "plugin/host/services.h"

#include "plugin/host/current_callback.h"

namespace pelmora::host {
namespace {

// Looks `service` up; null when there is no callback or the host lacks it.
template <class Fn>
Fn lookup(std::int32_t service) {
    HostCallback callback = currentCallback();
    if (callback == nullptr) return nullptr;
    HostServiceAddress address;
    {
        CallbackScope keep(callback);
        address = callback(service);
    }
    return reinterpret_cast<Fn>(address);
}

// Calls the service when the host has it, keeping the current callback across
// the call; gives `fallback` otherwise.
template <class Fn, class R, class... Args>
R callOr(std::int32_t service, R fallback, Args... args) {
    Fn fn = lookup<Fn>(service);
    if (fn == nullptr) return fallback;
    CallbackScope keep(currentCallback());
    return static_cast<R>(fn(args...));
}

// The same for services with no result.
template <class Fn, class... Args>
void callVoid(std::int32_t service, Args... args) {
    Fn fn = lookup<Fn>(service);
    if (fn == nullptr) return;
    CallbackScope keep(currentCallback());
    fn(args...);
}

bool asBool(HostBool value) { return value != 0; }

}  // namespace

std::int32_t polyVertexData(HostHandle o) { return callOr<sig::PolyVertexData>(kPolyVertexData, std::int32_t{0}, o); }
bool isSelected(HostHandle o) { return asBool(callOr<sig::IsSelected>(kIsSelected, HostBool{0}, o)); }
bool isClosedPoly(HostHandle o) { return asBool(callOr<sig::IsClosedPoly>(kIsClosedPoly, HostBool{0}, o)); }
std::int16_t objectType(HostHandle o) { return callOr<sig::ObjectType>(kObjectType, std::int16_t{0}, o); }
void getVertex(HostHandle p, std::int16_t i, HostPoint* out) { callVoid<sig::GetVertex>(kGetVertex, p, i, out); }
bool isVisible(HostHandle o) { return asBool(callOr<sig::IsVisible>(kIsVisible, HostBool{0}, o)); }
std::int32_t objectClass(HostHandle o) { return callOr<sig::ObjectClass>(kObjectClass, std::int32_t{0}, o); }
std::int16_t vertexCount(HostHandle p) { return callOr<sig::VertexCount>(kVertexCount, std::int16_t{0}, p); }
HostHandle nextObject(HostHandle o) { return callOr<sig::NextObject>(kNextObject, HostHandle{}, o); }
HostHandle firstMember(HostHandle c) { return callOr<sig::FirstMember>(kFirstMember, HostHandle{}, c); }
void deleteObject(HostHandle o) { callVoid<sig::DeleteObject>(kDeleteObject, o, std::int32_t{0}); }
void getObjectName(HostHandle o, std::uint8_t* out) { callVoid<sig::GetObjectName>(kGetObjectName, o, out); }
HostHandle definitionOf(HostHandle o) { return callOr<sig::DefinitionOf>(kDefinitionOf, HostHandle{}, o); }
std::int32_t objectToken(HostHandle o) { return callOr<sig::ObjectToken>(kObjectToken, std::int32_t{0}, o); }
std::int16_t definitionKind(HostHandle d) { return callOr<sig::DefinitionKind>(kDefinitionKind, std::int16_t{-1}, d); }
HostHandle makeTemporaryObject(std::int32_t token) {
    return callOr<sig::MakeTemporaryObject>(kMakeTemporaryObject, HostHandle{}, token, std::int32_t{0});
}
bool getObjectProperty(HostHandle o, std::int32_t property, HostPropertyValue* out) {
    return asBool(callOr<sig::GetObjectProperty>(kGetObjectProperty, HostBool{0}, o, property, out));
}

void getObjectPlacement(HostHandle o, double* out) { callVoid<sig::GetObjectPlacement>(kGetObjectPlacement, o, out); }
HostHandle nextInChain(HostHandle h) { return callOr<sig::NextInChain>(kNextInChain, HostHandle{}, h); }
HostHandle currentItem() { return callOr<sig::CurrentItem>(kCurrentItem, HostHandle{}); }
void getViewData(HostHandle v, double* d, double* f, double* box) {
    callVoid<sig::GetViewData>(kGetViewData, v, d, f, box);
}
std::int16_t viewKind(HostHandle v) { return callOr<sig::ViewKind>(kViewKind, std::int16_t{-1}, v); }
HostHandle drawingRoot() { return callOr<sig::DrawingRoot>(kDrawingRoot, HostHandle{}); }
HostHandle chainStart() { return callOr<sig::ChainStart>(kChainStart, HostHandle{}); }
void forEachObject(HostObjectCallback callback, void* context) {
    callVoid<sig::ForEachObject>(kForEachObject, callback, context, currentCallback());
}

void className(std::int32_t c, std::uint8_t* out) { callVoid<sig::ClassName>(kClassName, c, out); }
std::int32_t classIndexByName(const std::uint8_t* name) {
    return callOr<sig::ClassIndexByName>(kClassIndexByName, std::int32_t{-1}, name);
}

HostHandle newAuxRecord(HostHandle o, std::uint32_t tag, std::int32_t size) {
    return callOr<sig::NewAuxRecord>(kNewAuxRecord, HostHandle{}, o, tag, size);
}
void deleteAuxRecord(HostHandle r, HostHandle o) { callVoid<sig::DeleteAuxRecord>(kDeleteAuxRecord, r, o); }
HostHandle firstAuxRecord(HostHandle o, std::uint32_t tag) {
    return callOr<sig::FirstAuxRecord>(kFirstAuxRecord, HostHandle{}, o, tag);
}
HostHandle findAuxRecordFrom(HostHandle h, std::uint32_t tag) {
    return callOr<sig::FindAuxRecordFrom>(kFindAuxRecordFrom, HostHandle{}, h, tag);
}
void lockRecord(HostHandle r) { callVoid<sig::LockRecord>(kLockRecord, r, std::int32_t{1}); }
void unlockRecord(HostHandle r) { callVoid<sig::LockRecord>(kLockRecord, r, std::int32_t{0}); }

void showMessage(std::int32_t list, std::int32_t index) { callVoid<sig::ShowMessage>(kShowMessage, list, index); }
void resetCommandState() { callVoid<sig::ResetCommandState>(kResetCommandState, std::int32_t{0}); }
double toDocumentLength(double length) {
    callVoid<sig::ToDocumentLength>(kToDocumentLength, &length);
    return length;
}
void commandPrologue() { callVoid<sig::CommandPrologue>(kCommandPrologue); }
void getUnitRecord(std::uint8_t* out) { callVoid<sig::GetUnitRecord>(kGetUnitRecord, out); }
std::uint8_t hostVersion(std::uint8_t fallback) {
    HostVersionSlot fields[kHostVersionFields] = {};
    fields[kHostVersionField].bytes[0] = fallback;
    callVoid<sig::GetHostVersion>(kGetHostVersion, fields[0].bytes, fields[1].bytes, fields[2].bytes, fields[3].bytes,
                                  fields[4].bytes, fields[5].bytes);
    return fields[kHostVersionField].bytes[0];
}
void getIndexedString(std::int32_t list, std::int32_t index, char* out) {
    callVoid<sig::GetIndexedString>(kGetIndexedString, list, index, out, std::int32_t{1}, std::int32_t{2});
}
std::int32_t getFolderPath(std::int32_t kind, char* out, std::int32_t flag) {
    return callOr<sig::GetFolderPath>(kGetFolderPath, kFolderPathMissing, kind, out, flag);
}
bool canRunCommand() { return asBool(callOr<sig::CanRunCommand>(kCanRunCommand, HostBool{0})); }

std::int32_t createDialog(const char* title, const char* confirm, const char* cancel) {
    return callOr<sig::CreateDialog>(kCreateDialog, std::int32_t{0}, title, std::int32_t{0}, confirm, cancel);
}
void addGroup(std::int32_t d, std::int32_t item, const char* text) {
    callVoid<sig::AddGroup>(kAddGroup, d, item, text, std::int32_t{1});
}
void addRadioButton(std::int32_t d, std::int32_t item, const char* text) {
    callVoid<sig::AddRadioButton>(kAddRadioButton, d, item, text);
}
bool dialogReady(std::int32_t d) { return asBool(callOr<sig::DialogReady>(kDialogReady, HostBool{0}, d)); }
bool placeFirstItem(std::int32_t d, std::int32_t item) {
    return asBool(callOr<sig::PlaceFirstItem>(kPlaceFirstItem, HostBool{0}, d, item));
}
bool placeInside(std::int32_t d, std::int32_t item, std::int32_t inner) {
    return asBool(callOr<sig::PlaceInside>(kPlaceInside, HostBool{0}, d, item, inner));
}
bool placeBelow(std::int32_t d, std::int32_t above, std::int32_t item) {
    return asBool(callOr<sig::PlaceBelow>(kPlaceBelow, HostBool{0}, d, above, item, std::int32_t{0}, std::int32_t{0}));
}
void setItemState(std::int32_t d, std::int32_t item, bool on) {
    callVoid<sig::SetItemState>(kSetItemState, d, item, static_cast<HostBool>(on ? 1 : 0));
}
std::int32_t runDialog(std::int32_t d, HostDialogCallback callback, void* context) {
    return callOr<sig::RunDialog>(kRunDialog, std::int32_t{0}, d, callback, context);
}

}  // namespace pelmora::host
