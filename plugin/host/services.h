// One wrapper per numbered host service. Each looks its service up through the
// current callback; a host without the service gets the fixed fallback (given
// after each declaration), and outputs are then left unchanged.
#pragma once

#include <cstdint>

#include "plugin/host/host_abi.h"

namespace pelmora::host {

// Objects
std::int32_t polyVertexData(HostHandle object);                                            // 0
bool isSelected(HostHandle object);                                                        // false
bool isClosedPoly(HostHandle object);                                                      // false
std::int16_t objectType(HostHandle object);                                                // 0
void getVertex(HostHandle polygon, std::int16_t indexFromOne, HostPoint* out);             // -
bool isVisible(HostHandle object);                                                         // false
std::int32_t objectClass(HostHandle object);                                               // 0
std::int16_t vertexCount(HostHandle polygon);                                              // 0
HostHandle nextObject(HostHandle object);                                                  // null
HostHandle firstMember(HostHandle container);                                              // null
void deleteObject(HostHandle object);                                                      // -
void getObjectName(HostHandle object, std::uint8_t* outName256);                           // -
HostHandle definitionOf(HostHandle object);                                                // null
std::int32_t objectToken(HostHandle object);                                               // 0
std::int16_t definitionKind(HostHandle definition);                                        // -1
HostHandle makeTemporaryObject(std::int32_t token);                                        // null
bool getObjectProperty(HostHandle object, std::int32_t property, HostPropertyValue* out);  // false

// Drawing and view
void getObjectPlacement(HostHandle object, double* outTwelve);          // -
HostHandle nextInChain(HostHandle handle);                              // null
HostHandle currentItem();                                               // null
void getViewData(HostHandle view, double* d, double* f, double* box4);  // -
std::int16_t viewKind(HostHandle view);                                 // -1
HostHandle drawingRoot();                                               // null
HostHandle chainStart();                                                // null
void forEachObject(HostObjectCallback callback, void* context);         // -

// Classes
void className(std::int32_t classIndex, std::uint8_t* outName256);  // -
std::int32_t classIndexByName(const std::uint8_t* name);            // -1

// Records on objects
HostHandle newAuxRecord(HostHandle object, std::uint32_t tag, std::int32_t size);  // null
void deleteAuxRecord(HostHandle record, HostHandle object);                        // -
HostHandle firstAuxRecord(HostHandle object, std::uint32_t tag);                   // null
HostHandle findAuxRecordFrom(HostHandle from, std::uint32_t tag);                  // null
void lockRecord(HostHandle record);                                                // -
void unlockRecord(HostHandle record);                                              // -

// Command and environment
void showMessage(std::int32_t list, std::int32_t index);  // -
void resetCommandState();                                 // -
double toDocumentLength(double length);                   // unchanged
void commandPrologue();                                   // -
void getUnitRecord(std::uint8_t* out32);                  // -
// The second of the six version fields, the one the plug-in reads; `fallback`
// when the host lacks the service.
std::uint8_t hostVersion(std::uint8_t fallback);
void getIndexedString(std::int32_t list, std::int32_t index, char* out);      // -
std::int32_t getFolderPath(std::int32_t kind, char* out, std::int32_t flag);  // kFolderPathMissing
bool canRunCommand();                                                         // false

// Dialogs
std::int32_t createDialog(const char* title, const char* confirm, const char* cancel);    // 0
void addGroup(std::int32_t dialog, std::int32_t item, const char* text);                  // -
void addRadioButton(std::int32_t dialog, std::int32_t item, const char* text);            // -
bool dialogReady(std::int32_t dialog);                                                    // false
bool placeFirstItem(std::int32_t dialog, std::int32_t item);                              // false
bool placeInside(std::int32_t dialog, std::int32_t item, std::int32_t inner);             // false
bool placeBelow(std::int32_t dialog, std::int32_t above, std::int32_t item);              // false
void setItemState(std::int32_t dialog, std::int32_t item, bool on);                       // -
std::int32_t runDialog(std::int32_t dialog, HostDialogCallback callback, void* context);  // 0

}  // namespace pelmora::host
