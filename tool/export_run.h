// One run of `pelmora export`: the drawing (or imported model) in the emulated
// host, the plug-in module called with action 3, the outcome as an exit status.
#pragma once

#include <optional>
#include <string>

#include "tool/model_import.h"

namespace pelmora::tool {

struct ExportRequest {
    std::string drawingPath;
    std::string outputPath;
    std::optional<int> mode;   // answer of the options dialog; none: the remembered mode
    std::string hostDir;       // empty: the per-user default
    bool force = false;        // replace an existing output file
    std::string modulePath;    // empty: the default module
    ModelImportOptions model;
};

// Gives the exit status of tool/commands.h; every message goes to stderr.
int runExportRequest(const ExportRequest& request);

}  // namespace pelmora::tool
