// The one form of every message the tool prints about its work: on stderr,
// "pelmora COMMAND: TEXT" (or "pelmora: TEXT" before a command is known), so
// that a script can tell which command spoke. Results go to stdout instead.
#pragma once

#include <string>

namespace pelmora::tool {

// Prints "pelmora COMMAND: TEXT" on stderr; an empty command gives "pelmora: TEXT".
void toolMessage(const std::string& command, const std::string& text);

// The same, giving `status` back, for `return toolMessage(kExitUsage, ...)`.
inline int toolMessage(int status, const std::string& command, const std::string& text) {
    toolMessage(command, text);
    return status;
}

// A run refused before any work (a bad command line, a missing input): the
// message as above and, when the command line asked for --json, on stdout the
// JSON document {"status": "bad-input" (or "failed"), "exitStatus": status,
// "errors": [text]}, so that a script reading it gets one however the run ends.
int toolRefusal(int status, const std::string& command, const std::string& text, bool json);

// "1 mesh", "2 meshes", "12 000 polygons": a count with its noun in the right number.
std::string counted(long long count, const char* one, const char* many);

}  // namespace pelmora::tool
