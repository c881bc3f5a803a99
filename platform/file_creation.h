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

// Puts what was written to the file `path` on the disk; false when it could not.
bool syncFile(const std::string& path);

// The text of the system's last failure of a file call ("Permission denied").
std::string lastFileError();

// The last failure of a file call in `folder`, said for a user: a full disk,
// a full disk quota and a file system out of inodes ("no free inodes") each
// by name, as are a path too long, no permission and a read-only file
// system; anything else in the system's words. Read before anything else
// can change the system's error.
std::string lastFileErrorIn(const std::string& folder);

// Whether the system's last failure of a file call comes of the path the
// user chose (too long, no permission, a read-only file system or disk, a
// folder missing) rather than of the disk's state (full, out of inodes, a
// fault). Read, as the above, before anything else can change the error.
bool lastFileErrorIsOfThePath();

// Said for a user when the file system holding `folder` has no free space or
// no free inodes left; empty otherwise (or when it cannot be asked).
std::string folderSpaceProblem(const std::string& folder);

}  // namespace pelmora::tool::system
