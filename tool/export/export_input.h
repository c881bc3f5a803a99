// The input of an export: a drawing document loaded as it is, or a model file
// imported into a drawing (in a supervised child process).
#pragma once

#include "hostsim/drawing.h"
#include "tool/export/export_reporter.h"
#include "tool/export/export_run.h"
#include "tool/system/file_status.h"

namespace pelmora::tool {

// Told by the extension and, for anything else, by the first byte.
enum class InputKind { Drawing, Model };

struct LoadedInput {
    InputKind kind = InputKind::Drawing;
    // The drawing document's state before it was read: a file still in this
    // state after the export is the one that was read.
    system::FileIdentity asRead;
};

// Gives kExitOk with `drawing` filled, kExitUsage after saying why through
// `report`, or kExitCancelled when Ctrl+C stopped a model import.
int loadExportInput(const ExportRequest& request, ExportReporter& report, ProgressLine& progress,
                    hostsim::Drawing& drawing, LoadedInput& loaded);

}  // namespace pelmora::tool
