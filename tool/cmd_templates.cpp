// Placeholder: the templates subcommand is not built yet.
#include "tool/commands.h"

namespace pelmora::tool {

Runner addTemplatesCommand(CLI::App&) { return [] { return int{kExitUsage}; }; }

}  // namespace pelmora::tool
