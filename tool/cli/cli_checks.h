// Command-line checks that hold when memory runs out. CLI11's own ExistingFile
// check builds a path inside a function that may not throw, so running out of
// memory there ends the process; this one asks the file system directly and
// lets a failure reach the tool's failure handler. It also refuses, without
// opening them, names of things that are not regular files (a named pipe would
// block the run until some writer came).
#pragma once

#include <string>

#include <CLI/CLI.hpp>

#include "tool/system/file_status.h"

namespace pelmora::tool {

// `what` names the file the option expects, for the refusal.
inline CLI::Validator existingFile(const char* what = "a file") {
    return CLI::Validator([what](std::string& name) { return system::inputFileRefusal(name, what); }, "FILE");
}

}  // namespace pelmora::tool
