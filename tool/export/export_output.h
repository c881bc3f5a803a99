// The output path of an export, checked before anything runs so that no work
// is lost to a name that cannot be written.
#pragma once

#include "tool/export/export_reporter.h"
#include "tool/export/export_run.h"

namespace pelmora::tool {

struct CheckedOutput {
    std::string path;      // absolute and normalised
    bool existed = false;  // a file of that name was there before the run
};

// Gives kExitOk and fills `checked`, or kExitUsage after saying why through
// `report` (standard output asked for, a folder, a missing or unwritable
// folder, the drawing itself, an existing file without --force).
int checkExportOutput(const ExportRequest& request, ExportReporter& report, CheckedOutput& checked);

}  // namespace pelmora::tool
