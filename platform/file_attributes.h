// The extended attributes of files (access control lists among them): what a
// replacement carries over from the file it replaces, so that it gives no one
// access the old file did not, and the mark by which the tool knows the
// temporary files it made itself from a user's files of a similar name.
#pragma once

#include <string>

namespace pelmora::tool::system {

// Gives `replacement` exactly the extended attributes `replaced` holds (ACLs
// included, `system.posix_acl_access` on Linux): each one copied, and those
// the replaced file does not have (an ACL inherited from the folder, the
// tool's mark) removed. Empty when done (or the file system holds none);
// otherwise the name of the attribute that could not be kept, and the
// replacement must not happen, since it would change who may use the file.
std::string carryAttributesOver(const std::string& replaced, const std::string& replacement);

// Marks a file the tool has just made as its own temporary file; false when
// the file system cannot hold the mark (the file is then never taken for a
// leftover of the tool's).
bool markAsOurs(const std::string& path);
// Whether `path` itself (not a link's target) carries that mark.
bool markedAsOurs(const std::string& path);
// Takes the mark away from a file that becomes the user's.
void dropOurMark(const std::string& path);

}  // namespace pelmora::tool::system
