// Template names in a host folder's Pelmora/ that are not files: a FIFO, a
// folder, a device, a socket or a link to nothing named NAME.qmt. The plug-in
// passes them over without a word; the tool names each as skipped.
#pragma once

#include <string>
#include <vector>

#include "plugin/templates/load_report.h"

namespace pelmora::tool {

// `hostDir` ends with the separator, as prepareHostDir gives it. Each entry
// gives the name and what it is ("not a file (a FIFO)").
std::vector<SkippedTemplate> templatesNotFiles(const std::string& hostDir);

}  // namespace pelmora::tool
