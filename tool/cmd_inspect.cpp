// Placeholder: the inspect subcommand is not built yet.
#include "tool/commands.h"

namespace pelmora::tool {

Runner addInspectCommand(CLI::App&) { return [] { return int{kExitUsage}; }; }

}  // namespace pelmora::tool
