// Swapping two files' names in one step, so that a replacement can look at
// the file it replaced afterwards, and put it back if it was changed between
// the last look before and the swap.
#pragma once

#include <string>

namespace pelmora::tool::system {

enum class Exchange { Done, Unsupported, Failed };

// Exchanges the files named `a` and `b` (in one folder) atomically, and makes
// the exchange durable. Unsupported: the system or file system cannot (both
// files unchanged; the caller then renames and says what that leaves open).
Exchange exchangeFiles(const std::string& a, const std::string& b);

}  // namespace pelmora::tool::system
