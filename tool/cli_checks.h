// Command-line checks that hold when memory runs out. CLI11's own ExistingFile
// check builds a path inside a function that may not throw, so running out of
// memory there ends the process; this one asks the file system directly and
// lets a failure reach the tool's failure handler.
#pragma once

#include <sys/stat.h>

#include <string>

#include <CLI/CLI.hpp>

namespace pelmora::tool {

inline CLI::Validator existingFile() {
    return CLI::Validator(
        [](std::string& name) -> std::string {
            struct stat info {};
            if (::stat(name.c_str(), &info) != 0) return "File does not exist: " + name;
            if (S_ISDIR(info.st_mode)) return "File is actually a directory: " + name;
            return {};
        },
        "FILE");
}

}  // namespace pelmora::tool
