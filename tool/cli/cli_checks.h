// Command-line checks that hold when memory runs out. CLI11's own ExistingFile
// check builds a path inside a function that may not throw, so running out of
// memory there ends the process; this one asks the file system directly and
// lets a failure reach the tool's failure handler.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

#include "tool/system/file_status.h"

namespace pelmora::tool {

inline CLI::Validator existingFile() {
    return CLI::Validator(
        [](std::string& name) -> std::string {
            const system::PathKind kind = system::pathKind(name);
            if (kind == system::PathKind::Missing) return "File does not exist: " + name;
            if (kind == system::PathKind::Folder) return "File is actually a directory: " + name;
            return {};
        },
        "FILE");
}

}  // namespace pelmora::tool
