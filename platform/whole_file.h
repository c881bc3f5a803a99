// A whole file read in one request, its name in UTF-8 as everywhere in the
// tool, the emulated host and the preview.
#pragma once

#include <string>

namespace pelmora::tool::system {

// The bytes of the file at `path` into `out`; false when it cannot be opened
// or read whole. Throws std::bad_alloc when memory is short for it.
bool readWholeFile(const std::string& path, std::string& out);

}  // namespace pelmora::tool::system
