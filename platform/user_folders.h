// Where the tool keeps the host's folder when none is given.
#pragma once

#include <string>

namespace pelmora::tool::system {

// The per-user data folder of the tool ($XDG_DATA_HOME/pelmora or
// ~/.local/share/pelmora; %APPDATA%\pelmora on Windows); empty when the
// environment names none.
std::string defaultDataFolder();

// The same as the help text names it: "$XDG_DATA_HOME/pelmora or
// ~/.local/share/pelmora", "%APPDATA%\pelmora".
const char* defaultDataFolderText();

// The folder of the running program, ending with a separator; empty when the
// system does not tell. A tool unpacked with its templates beside it uses it.
std::string programFolder();

// What to set when there is none: "--host-dir, HOME or XDG_DATA_HOME".
const char* dataFolderSettings();

}  // namespace pelmora::tool::system
