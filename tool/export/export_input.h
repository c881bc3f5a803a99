// The input of an export: a drawing document loaded as it is, or a model file
// imported into a drawing (in a supervised child process).
#pragma once

#include "tool/import/imported_material.h"

#include <vector>

#include "hostsim/document/drawing.h"
#include "platform/file_lock.h"
#include "platform/file_status.h"
#include "tool/export/export_reporter.h"
#include "tool/export/export_run.h"

namespace pelmora::tool {

// Told by the extension and, for anything else, by the first byte.
enum class InputKind { Drawing, Model };

struct LoadedInput {
    InputKind kind = InputKind::Drawing;
    // The drawing document's state before it was read: a file still in this
    // state after the export is the one that was read.
    system::FileIdentity asRead;
    std::uint64_t bytesHash = 0;  // of the bytes read (hostsim/text_hash.h)
    // Held from before the reading until the run ends, so that no other
    // export reads the drawing until this one has written its records back.
    system::FileLock lock;
    // A model's materials, one per class that a material of the model named.
    std::vector<ImportedMaterial> materials;
};

// Gives kExitOk with `drawing` filled, kExitUsage after saying why through
// `report`, or kExitCancelled when Ctrl+C stopped a model import.
int loadExportInput(const ExportRequest& request, ExportReporter& report, ProgressLine& progress,
                    hostsim::Drawing& drawing, LoadedInput& loaded);

}  // namespace pelmora::tool
