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

// What the write-back did: the records written (updated), nothing to write,
// or why the drawing was not updated (status kExitDrawingNotUpdated).
struct WriteBack {
    int status = 0;
    bool updated = false;
    bool editedMeanwhile = false;  // updated, and an edit made during the export kept
    bool unconfirmed = false;      // updated where a change in the last moment cannot be told
    std::string notUpdated;
};

// Writes the records the host's drawing changed back to `drawingPath`.
// Nothing is reported here: the export writes its output after this, and
// says what happened to both (reportWriteBack). `atMoment` (a test seam) is
// told "saving" when the new text is on the disk, before the drawing is
// checked a last time, and "checked" between that check and the replacement.
WriteBack writeBackLightRecords(const std::string& drawingPath, const hostsim::EmulatedHost& host,
                                const LoadedInput& input, const std::function<void(const char*)>& atMoment = {});

// Says what the write-back did, once the output is in place.
void reportWriteBack(const WriteBack& done, const std::string& drawingPath, ExportReporter& report);

}  // namespace pelmora::tool
