// Command-line checks of files and folders that must exist, which hold when
// memory runs out. CLI11's own ExistingFile check builds a path inside a
// function that may not throw, so running out of memory there ends the
// process; these ask the file system directly and let a failure reach the
// tool's failure handler. They also refuse, without opening them, names of
// things that are not regular files (a named pipe would block the run until
// some writer came).
#pragma once

#include <string>

#include <CLI/CLI.hpp>

#include "platform/file_status.h"

namespace pelmora::tool {

// `what` names the file the option expects, for the refusal.
inline CLI::Validator existingFile(const char* what = "a file") {
    return CLI::Validator([what](std::string& name) { return system::inputFileRefusal(name, what); }, "FILE");
}

// A folder that must exist already: a mistyped name is refused with its path
// rather than made, empty, and used.
inline CLI::Validator existingFolder(const std::string& what) {
    return CLI::Validator(
        [what](std::string& name) -> std::string {
            const system::PathKind kind = system::pathKind(name);
            if (kind == system::PathKind::Folder) return {};
            if (kind == system::PathKind::Missing)
                return "the " + what + " " + name + " does not exist; give a folder that does (nothing was created)";
            return name + " is a file, not a folder";
        },
        "DIR");
}

}  // namespace pelmora::tool
