// Runs the built `pelmora` tool as a child process with its own environment
// and limits, and gives its exit status and what it printed.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pelmora::exporttest {

struct ToolResult {
    int status = -1;      // exit status; -1 when it did not exit normally
    int signal = 0;       // the signal that ended it, if any
    std::string out;      // standard output
    std::string err;      // standard error
};

struct ToolOptions {
    std::map<std::string, std::string> environment;  // set in the child
    std::vector<std::string> unsetEnvironment;       // removed in the child
    std::optional<long> fileSizeLimit;               // RLIMIT_FSIZE in bytes: a disk that fills up
    std::string workingFolder;                       // empty: the test's own
};

ToolResult runTool(const std::vector<std::string>& arguments, const ToolOptions& options = {});

}  // namespace pelmora::exporttest
