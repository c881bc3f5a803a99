// The binary contract between the plug-in and its host: the callback the host
// hands to plugin_main, the numbers of the host services and the C signatures
// behind them. Both the plug-in and any host (the real one or the emulated one)
// include this header; nothing here has behaviour.
#pragma once

#include <cstdint>

extern "C" {

// An opaque host object: drawing object, container, record. The host's records
// and layers are "handles": a pointer to a pointer to the host's own bytes.
typedef void* HostHandle;
typedef std::uint8_t HostBool;

// Any service address; cast to the service's own signature before calling.
typedef void (*HostServiceAddress)(void);

// The callback pointer of plugin_main: service number in, address out, null
// when the host lacks the service.
typedef HostServiceAddress (*HostCallback)(std::int32_t service);

// A host point: three doubles x, y, z in the host's internal unit.
struct HostPoint {
    double x, y, z;
};

// A value filled by GetObjectProperty: a payload of 256 bytes and its tag.
enum : std::int32_t {
    kPropertyBool = 0,
    kPropertyInt16 = 1,
    kPropertyDouble = 3,
    kPropertyPoint = 6,
};
struct HostPropertyValue {
    std::uint8_t payload[256];
    std::int32_t tag;
};

// Length-prefixed host string: first byte the length, then the characters.
typedef std::uint8_t HostName[256];

// Called by ForEachObject for each object: gives the object to go on from
// (normally NextObject of the one given).
typedef HostHandle (*HostObjectCallback)(HostHandle object, HostCallback callback, void* context);

// Called by RunDialog while the dialog runs: the item acted on is read through
// `item`; `value` is not used by the plug-in.
typedef void (*HostDialogCallback)(std::int32_t dialog, std::int32_t* item, std::int32_t value, void* context);

}  // extern "C"

namespace pelmora::host {

// Service numbers, by name.
enum Service : std::int32_t {
    kPolyVertexData = 1,
    kIsSelected = 5,
    kIsClosedPoly = 14,
    kShowMessage = 27,
    kGetObjectPlacement = 53,
    kObjectType = 60,
    kGetVertex = 65,
    kIsVisible = 69,
    kObjectClass = 70,
    kVertexCount = 72,
    kResetCommandState = 73,
    kClassName = 74,
    kClassIndexByName = 76,
    kNextObject = 77,
    kFirstMember = 79,
    kDeleteObject = 81,
    kToDocumentLength = 82,
    kGetObjectName = 108,
    kNextInChain = 112,
    kForEachObject = 122,
    kCurrentItem = 123,
    kDefinitionOf = 127,
    kNewAuxRecord = 128,
    kDeleteAuxRecord = 131,
    kFirstAuxRecord = 133,
    kFindAuxRecordFrom = 134,
    kCommandPrologue = 148,
    kObjectToken = 157,
    kGetViewData = 179,
    kViewKind = 180,
    kDrawingRoot = 203,
    kGetUnitRecord = 269,
    kGetHostVersion = 280,
    kChainStart = 311,
    kDefinitionKind = 312,
    kMakeTemporaryObject = 344,
    kGetObjectProperty = 361,
    kLockRecord = 382,
    kGetIndexedString = 387,
    kGetFolderPath = 453,
    kCanRunCommand = 480,
    kCreateDialog = 579,
    kAddGroup = 582,
    kAddRadioButton = 586,
    kDialogReady = 589,
    kPlaceFirstItem = 590,
    kPlaceInside = 591,
    kPlaceBelow = 593,
    kSetItemState = 600,
    kRunDialog = 620,
};

// Every service number, for hosts that enumerate them.
inline constexpr std::int32_t kAllServices[] = {
    1, 5, 14, 27, 53, 60, 65, 69, 70, 72, 73, 74, 76, 77, 79, 81, 82, 108, 112, 122, 123, 127, 128, 131, 133,
    134, 148, 157, 179, 180, 203, 269, 280, 311, 312, 344, 361, 382, 387, 453, 480, 579, 582, 586, 589, 590,
    591, 593, 600, 620,
};

// The C signature of each service.
namespace sig {
using PolyVertexData = std::int32_t (*)(HostHandle);
using IsSelected = HostBool (*)(HostHandle);
using IsClosedPoly = HostBool (*)(HostHandle);
using ShowMessage = void (*)(std::int32_t list, std::int32_t index);
using GetObjectPlacement = void (*)(HostHandle, double* twelve);
using ObjectType = std::int16_t (*)(HostHandle);
using GetVertex = void (*)(HostHandle, std::int16_t indexFromOne, HostPoint* out);
using IsVisible = HostBool (*)(HostHandle);
using ObjectClass = std::int32_t (*)(HostHandle);
using VertexCount = std::int16_t (*)(HostHandle);
using ResetCommandState = void (*)(std::int32_t);
using ClassName = void (*)(std::int32_t classIndex, std::uint8_t* outName256);
using ClassIndexByName = std::int32_t (*)(const std::uint8_t* name);
using NextObject = HostHandle (*)(HostHandle);
using FirstMember = HostHandle (*)(HostHandle);
using DeleteObject = void (*)(HostHandle, std::int32_t);
using ToDocumentLength = void (*)(double* inOut);
using GetObjectName = void (*)(HostHandle, std::uint8_t* outName256);
using NextInChain = HostHandle (*)(HostHandle);
using ForEachObject = void (*)(HostObjectCallback, void* context, HostCallback current);
using CurrentItem = HostHandle (*)();
using DefinitionOf = HostHandle (*)(HostHandle);
using NewAuxRecord = HostHandle (*)(HostHandle object, std::uint32_t tag, std::int32_t size);
using DeleteAuxRecord = void (*)(HostHandle record, HostHandle object);
using FirstAuxRecord = HostHandle (*)(HostHandle object, std::uint32_t tag);
using FindAuxRecordFrom = HostHandle (*)(HostHandle from, std::uint32_t tag);
using CommandPrologue = void (*)();
using ObjectToken = std::int32_t (*)(HostHandle);
using GetViewData = void (*)(HostHandle, double* d, double* f, double* box4);
using ViewKind = std::int16_t (*)(HostHandle);
using DrawingRoot = HostHandle (*)();
using GetUnitRecord = void (*)(std::uint8_t* out32);
using GetHostVersion = void (*)(std::uint8_t* a, std::uint8_t* version, std::uint8_t* c, std::uint8_t* d,
                                std::uint8_t* e, std::uint8_t* f);
using ChainStart = HostHandle (*)();
using DefinitionKind = std::int16_t (*)(HostHandle);
using MakeTemporaryObject = HostHandle (*)(std::int32_t token, std::int32_t);
using GetObjectProperty = HostBool (*)(HostHandle, std::int32_t property, HostPropertyValue* out);
using LockRecord = void (*)(HostHandle record, std::int32_t lock);
// The host writes a NUL-terminated text into `out` and is given no size: the
// texts of its lists must fit the buffers the plug-in hands over (32 bytes for
// the button texts, 64 for the others).
using GetIndexedString = void (*)(std::int32_t list, std::int32_t index, char* out, std::int32_t, std::int32_t);
// Writes a NUL-terminated folder path ending in the path separator into a
// buffer of kHostPathLimit bytes.
using GetFolderPath = std::int32_t (*)(std::int32_t kind, char* out, std::int32_t flag);
using CanRunCommand = HostBool (*)();
using CreateDialog = std::int32_t (*)(const char* title, std::int32_t, const char* confirm, const char* cancel);
using AddGroup = void (*)(std::int32_t dialog, std::int32_t item, const char* text, std::int32_t);
using AddRadioButton = void (*)(std::int32_t dialog, std::int32_t item, const char* text);
using DialogReady = HostBool (*)(std::int32_t dialog);
using PlaceFirstItem = HostBool (*)(std::int32_t dialog, std::int32_t item);
using PlaceInside = HostBool (*)(std::int32_t dialog, std::int32_t item, std::int32_t inner);
using PlaceBelow = HostBool (*)(std::int32_t dialog, std::int32_t above, std::int32_t item, std::int32_t,
                                std::int32_t);
using SetItemState = void (*)(std::int32_t dialog, std::int32_t item, HostBool on);
using RunDialog = std::int32_t (*)(std::int32_t dialog, HostDialogCallback, void* context);
}  // namespace sig

// Size of the buffers the plug-in hands to services that write paths.
inline constexpr int kHostPathLimit = 260;
// Byte offset of the document units per inch inside the 32-byte unit record.
inline constexpr int kUnitRecordSize = 32;
inline constexpr int kUnitsPerInchOffset = 10;
// GetFolderPath kinds and its "no such folder" status.
inline constexpr std::int32_t kFolderBase = 1;
inline constexpr std::int32_t kFolderUserData = 2;
inline constexpr std::int32_t kFolderPathMissing = 0x3000003;

}  // namespace pelmora::host
