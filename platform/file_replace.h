// Putting a complete new file in the place of an old one in one step, with
// UTF-8 paths (as everywhere in the tool and the emulated host). The plug-in,
// whose paths come in the host's code page, reaches these through its own
// platform layer.
#pragma once

#include <string>

#include "base/replace_file.h"

namespace pelmora::tool::system {

// The file that writing to `path` changes: `path` itself, or, when it is a
// symbolic link, the file it finally points to (which may not exist yet). A
// replacement writes its temporary file beside this one and replaces it, so
// that the link stays a link and the rename stays within one file system.
std::string replacementTarget(const std::string& path);

// Puts the complete file `from` in the place of `to` in one step, keeping
// what the replaced file had: its permissions (and owner and group where the
// process may set them), its extended attributes and access control lists
// (on Windows its attributes and security). A replaced file whose attributes
// cannot all be kept is not replaced (attributeNotKept() names the one): the
// new file would give other access than the old one. `from` reaches the disk
// before the rename and the rename before this returns, so that a power loss
// leaves either the old file or the new one, never an empty one. `to` should
// be a replacementTarget. False when `from` could not be flushed or moved; the
// old file is then unchanged and `from` is left for the caller to remove.
bool replaceFile(const std::string& from, const std::string& to);
// The first half of replaceFile: `from` given what `to` has, and flushed to
// the disk, for a caller that puts it in place by other means.
bool prepareReplacement(const std::string& from, const std::string& to);
// The attribute the last failed replacement of this thread could not keep;
// empty when it failed for another reason.
std::string attributeNotKept();

// Removes a file; allocates nothing, so it may run while an out-of-memory
// failure unwinds.
bool removeFile(const std::string& path);

// The calls above as the base library's file replacement takes them.
inline base::ReplaceCalls replaceCalls() { return {&replacementTarget, &replaceFile, &removeFile}; }

}  // namespace pelmora::tool::system
