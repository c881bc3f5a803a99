// Several inputs exported into one folder, one QMX file per input named after
// it. Each input runs in its own process (the plug-in keeps per-process state
// between runs), up to `jobs` at once; one failing never touches the others.
#pragma once

#include <string>
#include <vector>

#include "tool/export/export_run.h"

namespace pelmora::tool {

struct BatchRequest {
    std::vector<std::string> inputs;
    std::string outputDir;
    int jobs = 1;
    ExportRequest single;  // the options every input is exported with (paths unset)
    // The same options as the command line of each input's export gives them
    // ("--mode", "2", "--force", ...): each input is exported by a process of its own.
    std::vector<std::string> optionsForEach;
};

// One status line per input on stderr (or one JSON array on stdout with
// --json); gives the worst exit status.
int runBatchExport(const BatchRequest& request);

// The arguments of the child process that exports one input.
std::vector<std::string> childArguments(const BatchRequest& request, const std::string& input,
                                        const std::string& output);

}  // namespace pelmora::tool
