#include "platform/file_attributes.h"

namespace pelmora::tool::system {

// ReplaceFileW keeps the replaced file's security descriptor and streams.
std::string carryAttributesOver(const std::string&, const std::string&) { return {}; }

// No mark is kept: no file is ever taken for a leftover of the tool's, and a
// killed run's files are named for the user to remove instead.
bool markAsOurs(const std::string&) { return false; }
bool markedAsOurs(const std::string&) { return false; }
void dropOurMark(const std::string&) {}

}  // namespace pelmora::tool::system
