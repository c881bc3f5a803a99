// One run of `pelmora export` for one input: the drawing (or imported model)
// in the emulated host, the plug-in module called with action 3, the file
// staged beside the target and moved over it, the summary of what was done.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "tool/import/model_import.h"

namespace pelmora::tool {

// Ctrl+C pressed at a chosen moment, as a user could press it, so that tests
// reach the Ctrl+C paths without timing. Only a test's own entry point sets
// them (tests/tool/hooked/); the command line cannot.
struct InterruptPoints {
    int atPoll = 0;  // at the plug-in's abort poll of this number; 0: never
    // When the run reaches "loaded", "written", "saving" (the drawing's new
    // text on the disk, before its last check), "checked" (after that check,
    // before the swap) or "replaced"; empty: never.
    std::string atStep;
    // The drawing replaced by this file when the run reaches this step.
    std::string replaceDrawingAtStep, replacementDrawing;
};

struct ExportRequest {
    std::string drawingPath;
    std::string outputPath;
    std::optional<int> mode;  // answer of the options dialog; none: the remembered mode
    std::string hostDir;      // empty: the per-user default
    bool force = false;       // replace an existing output file
    std::string modulePath;   // empty: the default module
    ModelImportOptions model;
    bool json = false;    // the summary as one JSON object on stdout
    bool quiet = false;   // errors only
    bool dryRun = false;  // collect and summarise, write nothing
    // Test seam: told each moment the run reaches ("loaded", "staged" once the
    // staging file exists, "written" once the plug-in has filled it, "saving"
    // and "checked" in the drawing's write-back, "replaced"), so that a test
    // can stop or end the run exactly there.
    std::function<void(const char* moment)> atMoment;
    InterruptPoints interruptAt;
};

// Gives the exit status of tool/system/exit_status.h; messages go to stderr.
int runExportRequest(const ExportRequest& request);

}  // namespace pelmora::tool
