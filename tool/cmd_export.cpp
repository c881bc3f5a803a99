// Placeholder: the export subcommand is not built yet.
#include "tool/commands.h"

namespace pelmora::tool {

Runner addExportCommand(CLI::App&) { return [] { return int{kExitUsage}; }; }

}  // namespace pelmora::tool
