// Runs the built `pelmora` tool as a child process with its own environment
// and limits, and gives its exit status and what it printed.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pelmora::exporttest {

struct ToolResult {
    int status = -1;  // exit status; -1 when it did not exit normally
    int signal = 0;   // the signal that ended it, if any
    std::string out;  // standard output
    std::string err;  // standard error
};

struct ToolOptions {
    std::map<std::string, std::string> environment;  // set in the child
    std::vector<std::string> unsetEnvironment;       // removed in the child
    std::optional<long> fileSizeLimit;               // RLIMIT_FSIZE in bytes: a disk that fills up
    std::string workingFolder;                       // empty: the test's own
    std::string program;                             // empty: the built tool
};

// A tool started and not yet waited for, so that a test can signal it.
struct StartedTool {
    int pid = -1;
    std::string outPath, errPath;  // where its standard output and error go
};

StartedTool startTool(const std::vector<std::string>& arguments, const ToolOptions& options = {});
// Waits for the tool to end and gives what it printed (its files removed).
ToolResult finishTool(const StartedTool& started);

ToolResult runTool(const std::vector<std::string>& arguments, const ToolOptions& options = {});

// What the tests judge a run by: its exit status, as the README gives it, and
// whether (and how often) a text it printed holds a part.
namespace outcome {
inline constexpr int kExitOk = 0, kExitFailure = 1, kExitUsage = 2, kExitCancelled = 3;
inline bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
inline int occurrences(const std::string& text, const std::string& part) {
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
    return n;
}
}  // namespace outcome

}  // namespace pelmora::exporttest
