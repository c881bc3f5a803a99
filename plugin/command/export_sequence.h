// The order of one export, run once the pre-export checks have passed.
#pragma once

namespace pelmora {

void runExport();

}  // namespace pelmora
