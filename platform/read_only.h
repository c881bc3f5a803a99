// Whether a user has marked a file as not to be changed. A process that
// could write it anyway (a POSIX administrator) still leaves it alone.
#pragma once

#include <string>

namespace pelmora::tool::system {

// True when the file has no write permission for anyone or this process may
// not write it; on Windows, when it has the read-only attribute.
bool isReadOnly(const std::string& file);

}  // namespace pelmora::tool::system
