// The host's folder for an export run: templates and the id table in
// DIR/Pelmora/, the preference file in DIR/Data/.
#pragma once

#include <stdexcept>
#include <string>

namespace pelmora::tool {

class HostDirError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The program's own folder when a Pelmora/ folder is beside the program (the
// Windows ZIP unpacked); else the per-user default: $XDG_DATA_HOME/pelmora,
// else ~/.local/share/pelmora (%APPDATA%\pelmora on Windows).
std::string defaultHostDir();

// Makes `dir` absolute and gives it ending with '/'. With `create` the folder
// and its Pelmora/ and Data/ subfolders are made when missing; without it the
// folder must exist. Throws HostDirError when it is missing or cannot be
// made, or is too long for the host's 260-byte paths.
std::string prepareHostDir(const std::string& dir, bool create);

// Whether `hostDir` (as prepareHostDir gives it) holds any template file,
// DIR/Pelmora/NAME.qmt with the extension in any case: without one every
// class is written without a material, which a user should be told.
bool hostDirHasTemplates(const std::string& hostDir);

}  // namespace pelmora::tool
