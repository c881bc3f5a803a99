// Which drawing objects an export mode takes, and the two walks over them: the
// pre-check that something is exportable and the geometry pass.
#pragma once

#include <cstdint>

#include "plugin/host/host_abi.h"

namespace pelmora {

class SceneContainer;

// Export modes of the options dialog.
enum ExportMode : std::int32_t {
    kModeSelected = 0,       // selected objects of the drawing root
    kModeVisible = 1,        // visible objects of the drawing root
    kModeAllLayers = 2,      // visible objects of every visible layer
    kModeWithReferences = 3  // as 2, following references
};

// Raises qmx_exception (11011, 5) when the mode finds nothing exportable.
void checkExportable(std::int32_t mode);
// The geometry pass: fills the container's meshes and lights.
void extractGeometry(SceneContainer& scene, std::int32_t mode);
// A layer's elevation in host lengths: read from the host's own record of the
// layer for host versions below 15, else 0.
double elevationOf(HostHandle container);
// True while the abort keys are held.
bool abortRequested();

}  // namespace pelmora
