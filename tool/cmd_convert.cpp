// Placeholder: the convert subcommand is not built yet.
#include "tool/commands.h"

namespace pelmora::tool {

Runner addConvertCommand(CLI::App&) { return [] { return int{kExitUsage}; }; }

}  // namespace pelmora::tool
