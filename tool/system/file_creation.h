// Files and folders the tool creates for itself: names reserved by an
// exclusive create, private temporary folders.
#pragma once

#include <string>

namespace pelmora::tool::system {

enum class NewFile { Created, Exists, Failed };
// Creates `path` empty, only when nothing of that name exists yet.
NewFile createNewFile(const std::string& path);

// A fresh folder only this process uses, "PREFIX-" and a unique ending in
// the temporary folder; empty when none could be made.
std::string makePrivateFolder(const std::string& prefix);

// The text of the system's last failure of a file call ("Permission denied").
std::string lastFileError();

}  // namespace pelmora::tool::system
