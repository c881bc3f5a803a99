// The checks every command makes of the file it is to write, before any work:
// "-" is refused (every output is written beside its target and moved into
// place, so none can go to standard output), a folder, device, named pipe or
// socket is refused, an existing file is replaced only with --force, and the
// folder it goes into must exist.
#pragma once

#include <string>

namespace pelmora::tool {

struct OutputRule {
    const char* option;   // how the command line names the output: "-o" or "OUTPUT"
    const char* kind;     // what is written, with its article: "a PNG picture"
    const char* example;  // a file name to suggest: "view.png"
};

// Why `path` may not be written; empty when it may.
std::string outputRefusal(const std::string& path, bool force, const OutputRule& rule);

}  // namespace pelmora::tool
