// The lit side of `pelmora preview`: the picture lit by the scene's own
// lights (--lit), the false-colour illuminance (--lux), the probe at a point
// or a pixel (--probe-point, --probe) and the light warnings, as text on
// stderr or one JSON document on stdout (--json).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "preview/preview_scene.h"
#include "preview/render_preview.h"

namespace pelmora::tool {

struct LitRequest {
    std::string scene;
    std::string picture;     // --lit picture; empty: none
    std::string luxPicture;  // empty: none
    std::optional<preview::Vec3d> probePoint;
    std::optional<std::pair<int, int>> probePixel;
    std::optional<double> exposure;
    double lightScale = 1000.0;
    std::vector<std::string> pictureFolders;
    int codePage = 1252;
    bool json = false;
};

// Gives the exit status; the paths and options are checked already.
int runLitPreview(const LitRequest& request, const preview::PreviewScene& scene, const preview::RenderOptions& options);

}  // namespace pelmora::tool
