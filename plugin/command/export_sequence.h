// The order of one export, run once the pre-export checks have passed: options
// dialog, preparation, then the guarded steps pre-check, save dialog,
// geometry pass and write.
#pragma once

#include <string>

namespace pelmora {

// What the save dialog is shown with.
inline constexpr const char* kSaveExtension = "qmx";
inline constexpr const char* kSaveInitialName = "untitled.qmx";
inline constexpr const char* kSaveFilter = "VELTRAMOX File (*.qmx)|*.qmx||";

void runExport();

// The save dialog; gives the chosen full path. Anything but OK raises the
// silent qmx_exception 0/0.
std::string askOutputPath();

}  // namespace pelmora
