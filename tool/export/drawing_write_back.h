// After an export: the light identities it gave kept in the drawing
// document, so that the next export finds them again. Nothing is written
// when nothing changed.
#pragma once

#include <string>

#include "hostsim/emulated_host.h"
#include "tool/export/export_reporter.h"
#include "tool/system/file_status.h"

namespace pelmora::tool {

// Writes the host's drawing back to `drawingPath` when its records changed
// and the file does not already hold them. `asRead` is the file's state when
// it was loaded. Gives kExitOk, or kExitFailure after saying why.
int writeBackLightRecords(const std::string& drawingPath, const hostsim::EmulatedHost& host,
                          const system::FileIdentity& asRead, ExportReporter& report);

}  // namespace pelmora::tool
