#include "command/export_sequence.h"

namespace pelmora {

// Filled in by the export command; until then a run does nothing.
void runExport() {}

}  // namespace pelmora
