// After an export: the light identities it gave kept in the drawing
// document, so that the next export finds them again. Only the changed
// records are written, into the document's own text; the file is rewritten
// only under the lock taken before it was read, only when it is not
// read-only, and only where the objects are still those the export read.
#pragma once

#include <functional>
#include <string>

#include "hostsim/host/emulated_host.h"
#include "tool/export/export_input.h"
#include "tool/export/export_reporter.h"

namespace pelmora::tool {

// Writes the records the host's drawing changed back to `drawingPath`.
// Gives kExitOk (written, or nothing to write), or kExitDrawingNotUpdated
// with `notUpdated` saying why after reporting it. `beforeLastCheck` (a test
// seam) runs when the new text is on the disk, before the drawing is checked
// a last time and replaced.
int writeBackLightRecords(const std::string& drawingPath, const hostsim::EmulatedHost& host, const LoadedInput& input,
                          ExportReporter& report, std::string& notUpdated,
                          const std::function<void()>& beforeLastCheck = {});

}  // namespace pelmora::tool
