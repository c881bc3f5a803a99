// The binary contract between the plug-in and its host: the callback the host
// hands to plugin_main, the numbers of the host services and the C signatures
// behind them. Both the plug-in and any host (the real one or the emulated one)
// include this header; nothing here has behaviour.
#pragma once

#include <cstddef>
#include <cstdint>

// The calling convention of every call between the plug-in and its host, both
// ways: plugin_main, the callback, every service and every function the
// plug-in hands to a service. It is cdecl, stated rather than left to the
// compiler: cdecl is what every Windows C compiler gives a function declared
// without a convention, so a host whose headers say nothing calls and is
// called through it; and with cdecl the caller removes the arguments, so a
// service called with an argument the host does not read (GetIndexedString's
// two trailing ones) cannot unbalance the stack. Only 32-bit x86 has more
// than one convention; elsewhere the macro is empty.
#if (defined(_WIN32) && defined(__i386__)) || defined(_M_IX86)
#define PELMORA_HOST_CALL __cdecl
#else
#define PELMORA_HOST_CALL
#endif

extern "C" {

// An opaque host object: drawing object, container, record. The host's records
// and layers are "handles": a pointer to a pointer to the host's own bytes.
typedef void* HostHandle;
typedef std::uint8_t HostBool;

// Any service address; cast to the service's own signature before calling.
typedef void(PELMORA_HOST_CALL* HostServiceAddress)(void);

// The callback pointer of plugin_main: service number in, address out, null
// when the host lacks the service.
typedef HostServiceAddress(PELMORA_HOST_CALL* HostCallback)(std::int32_t service);

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
typedef HostHandle(PELMORA_HOST_CALL* HostObjectCallback)(HostHandle object, HostCallback callback, void* context);

// Called by RunDialog while the dialog runs: the item acted on is read through
// `item`; `value` is not used by the plug-in.
typedef void(PELMORA_HOST_CALL* HostDialogCallback)(std::int32_t dialog, std::int32_t* item, std::int32_t value,
                                                    void* context);

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
    kPolyVertexData,      kIsSelected,        kIsClosedPoly,     kShowMessage,      kGetObjectPlacement,
    kObjectType,          kGetVertex,         kIsVisible,        kObjectClass,      kVertexCount,
    kResetCommandState,   kClassName,         kClassIndexByName, kNextObject,       kFirstMember,
    kDeleteObject,        kToDocumentLength,  kGetObjectName,    kNextInChain,      kForEachObject,
    kCurrentItem,         kDefinitionOf,      kNewAuxRecord,     kDeleteAuxRecord,  kFirstAuxRecord,
    kFindAuxRecordFrom,   kCommandPrologue,   kObjectToken,      kGetViewData,      kViewKind,
    kDrawingRoot,         kGetUnitRecord,     kGetHostVersion,   kChainStart,       kDefinitionKind,
    kMakeTemporaryObject, kGetObjectProperty, kLockRecord,       kGetIndexedString, kGetFolderPath,
    kCanRunCommand,       kCreateDialog,      kAddGroup,         kAddRadioButton,   kDialogReady,
    kPlaceFirstItem,      kPlaceInside,       kPlaceBelow,       kSetItemState,     kRunDialog,
};

// The C signature of each service.
namespace sig {
using PolyVertexData = std::int32_t(PELMORA_HOST_CALL*)(HostHandle);
using IsSelected = HostBool(PELMORA_HOST_CALL*)(HostHandle);
using IsClosedPoly = HostBool(PELMORA_HOST_CALL*)(HostHandle);
using ShowMessage = void(PELMORA_HOST_CALL*)(std::int32_t list, std::int32_t index);
using GetObjectPlacement = void(PELMORA_HOST_CALL*)(HostHandle, double* twelve);
using ObjectType = std::int16_t(PELMORA_HOST_CALL*)(HostHandle);
using GetVertex = void(PELMORA_HOST_CALL*)(HostHandle, std::int16_t indexFromOne, HostPoint* out);
using IsVisible = HostBool(PELMORA_HOST_CALL*)(HostHandle);
using ObjectClass = std::int32_t(PELMORA_HOST_CALL*)(HostHandle);
using VertexCount = std::int16_t(PELMORA_HOST_CALL*)(HostHandle);
using ResetCommandState = void(PELMORA_HOST_CALL*)(std::int32_t);
using ClassName = void(PELMORA_HOST_CALL*)(std::int32_t classIndex, std::uint8_t* outName256);
using ClassIndexByName = std::int32_t(PELMORA_HOST_CALL*)(const std::uint8_t* name);
using NextObject = HostHandle(PELMORA_HOST_CALL*)(HostHandle);
using FirstMember = HostHandle(PELMORA_HOST_CALL*)(HostHandle);
using DeleteObject = void(PELMORA_HOST_CALL*)(HostHandle, std::int32_t);
using ToDocumentLength = void(PELMORA_HOST_CALL*)(double* inOut);
using GetObjectName = void(PELMORA_HOST_CALL*)(HostHandle, std::uint8_t* outName256);
using NextInChain = HostHandle(PELMORA_HOST_CALL*)(HostHandle);
using ForEachObject = void(PELMORA_HOST_CALL*)(HostObjectCallback, void* context, HostCallback current);
using CurrentItem = HostHandle(PELMORA_HOST_CALL*)();
using DefinitionOf = HostHandle(PELMORA_HOST_CALL*)(HostHandle);
using NewAuxRecord = HostHandle(PELMORA_HOST_CALL*)(HostHandle object, std::uint32_t tag, std::int32_t size);
using DeleteAuxRecord = void(PELMORA_HOST_CALL*)(HostHandle record, HostHandle object);
using FirstAuxRecord = HostHandle(PELMORA_HOST_CALL*)(HostHandle object, std::uint32_t tag);
using FindAuxRecordFrom = HostHandle(PELMORA_HOST_CALL*)(HostHandle from, std::uint32_t tag);
using CommandPrologue = void(PELMORA_HOST_CALL*)();
using ObjectToken = std::int32_t(PELMORA_HOST_CALL*)(HostHandle);
using GetViewData = void(PELMORA_HOST_CALL*)(HostHandle, double* d, double* f, double* box4);
using ViewKind = std::int16_t(PELMORA_HOST_CALL*)(HostHandle);
using DrawingRoot = HostHandle(PELMORA_HOST_CALL*)();
using GetUnitRecord = void(PELMORA_HOST_CALL*)(std::uint8_t* out32);
using GetHostVersion = void(PELMORA_HOST_CALL*)(std::uint8_t* a, std::uint8_t* version, std::uint8_t* c,
                                                std::uint8_t* d, std::uint8_t* e, std::uint8_t* f);
using ChainStart = HostHandle(PELMORA_HOST_CALL*)();
using DefinitionKind = std::int16_t(PELMORA_HOST_CALL*)(HostHandle);
using MakeTemporaryObject = HostHandle(PELMORA_HOST_CALL*)(std::int32_t token, std::int32_t);
using GetObjectProperty = HostBool(PELMORA_HOST_CALL*)(HostHandle, std::int32_t property, HostPropertyValue* out);
using LockRecord = void(PELMORA_HOST_CALL*)(HostHandle record, std::int32_t lock);
// The host writes a NUL-terminated text into `out` and is given no size: the
// texts of its lists must fit the buffers the plug-in hands over (32 bytes for
// the button texts, 64 for the others).
using GetIndexedString = void(PELMORA_HOST_CALL*)(std::int32_t list, std::int32_t index, char* out, std::int32_t,
                                                  std::int32_t);
// Writes a NUL-terminated folder path ending in the path separator into a
// buffer of kHostPathLimit bytes.
using GetFolderPath = std::int32_t(PELMORA_HOST_CALL*)(std::int32_t kind, char* out, std::int32_t flag);
using CanRunCommand = HostBool(PELMORA_HOST_CALL*)();
using CreateDialog = std::int32_t(PELMORA_HOST_CALL*)(const char* title, std::int32_t, const char* confirm,
                                                      const char* cancel);
using AddGroup = void(PELMORA_HOST_CALL*)(std::int32_t dialog, std::int32_t item, const char* text, std::int32_t);
using AddRadioButton = void(PELMORA_HOST_CALL*)(std::int32_t dialog, std::int32_t item, const char* text);
using DialogReady = HostBool(PELMORA_HOST_CALL*)(std::int32_t dialog);
using PlaceFirstItem = HostBool(PELMORA_HOST_CALL*)(std::int32_t dialog, std::int32_t item);
using PlaceInside = HostBool(PELMORA_HOST_CALL*)(std::int32_t dialog, std::int32_t item, std::int32_t inner);
using PlaceBelow = HostBool(PELMORA_HOST_CALL*)(std::int32_t dialog, std::int32_t above, std::int32_t item,
                                                std::int32_t, std::int32_t);
using SetItemState = void(PELMORA_HOST_CALL*)(std::int32_t dialog, std::int32_t item, HostBool on);
using RunDialog = std::int32_t(PELMORA_HOST_CALL*)(std::int32_t dialog, HostDialogCallback, void* context);
}  // namespace sig

// GetHostVersion is handed six pointers and says nothing of the width of the
// fields it writes. Each points to a slot of its own, 8 bytes long and 8-byte
// aligned, so that a host writing any integer up to 64 bits into each one
// overwrites nothing else; the version is the first byte of the second slot
// (the low byte of whatever the host wrote, the platform being little-endian).
inline constexpr int kHostVersionFields = 6;
inline constexpr std::size_t kHostVersionSlotSize = 8;
inline constexpr int kHostVersionField = 1;
struct alignas(8) HostVersionSlot {
    std::uint8_t bytes[kHostVersionSlotSize];
};

// Size of the buffers the plug-in hands to services that write paths.
inline constexpr int kHostPathLimit = 260;
// Byte offset of the document units per inch inside the 32-byte unit record.
inline constexpr int kUnitRecordSize = 32;
inline constexpr int kUnitsPerInchOffset = 10;
// GetFolderPath kinds and its "no such folder" status.
inline constexpr std::int32_t kFolderBase = 1;
inline constexpr std::int32_t kFolderUserData = 2;
inline constexpr std::int32_t kFolderPathMissing = 0x3000003;
// The host's own record of a layer, for host versions below 15: the layer's
// elevation is the double at this offset of a record of this size.
inline constexpr std::size_t kLayerRecordSize = 512;
inline constexpr std::size_t kLayerElevationOffset = 504;

// The type codes ObjectType gives: the drawing objects the plug-in acts on,
// and what the host reports for what is not one.
enum TypeCode : std::int16_t {
    kTypeEnd = 0,  // the end of a member list
    kTypeGroup = 11,
    kTypeInstance = 15,
    kTypeSymbol = 16,
    kTypePolygon = 25,
    kTypeReference = 29,
    kTypeLayer = 31,
    kTypeLight = 81,
    kTypeChainElement = 97,
    kTypeRecord = 98,
};

// A light's properties, as GetObjectProperty numbers them.
enum LightProperty : std::int32_t {
    kLightFlag = 50,       // bool
    kLightIntensity = 51,  // double
    kLightColour = 52,     // point: red, green, blue
    kLightMode = 53,       // bool
    kLightPosition = 54,   // point, host lengths
    kLightKind = 55,       // int16, one of LightKind
    kLightDirection = 56,  // point, host lengths
    kLightAxis = 59,       // int16
    kLightConeA = 61,      // double, spot lights only
    kLightConeB = 62,      // double, spot lights only
};

// The values of kLightKind. A point light has no target point.
enum LightKind : std::int16_t {
    kLightDirectional = 0,
    kLightPoint = 1,
    kLightSpot = 2,
};

// The layouts above are the host's, not the compiler's choice: a change that
// moves a byte of them fails to compile instead of failing inside a host.
static_assert(sizeof(HostPoint) == 24 && offsetof(HostPoint, x) == 0 && offsetof(HostPoint, y) == 8 &&
              offsetof(HostPoint, z) == 16);
static_assert(sizeof(HostPropertyValue) == 260 && offsetof(HostPropertyValue, payload) == 0 &&
              offsetof(HostPropertyValue, tag) == 256);
static_assert(sizeof(HostName) == 256 && sizeof(HostBool) == 1);
static_assert(kUnitRecordSize == 32 && kUnitsPerInchOffset == 10 && kUnitsPerInchOffset + sizeof(double) <= 32);
static_assert(kLayerElevationOffset + sizeof(double) <= kLayerRecordSize);
static_assert(sizeof(HostVersionSlot) == 8 && alignof(HostVersionSlot) == 8);
static_assert(sizeof(HostVersionSlot[kHostVersionFields]) == kHostVersionFields * kHostVersionSlotSize);
static_assert(sizeof(double) == 8 && sizeof(float) == 4, "payloads are IEEE doubles and floats");
// The host hands handles and callbacks as 32-bit values to a 32-bit plug-in.
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(HostHandle) == 4 && sizeof(HostCallback) == 4 && sizeof(HostServiceAddress) == 4);
#endif

}  // namespace pelmora::host
