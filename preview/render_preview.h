// Renders a preview scene: from its camera when it has a usable one, else from
// a default position that frames the scene's bounding box.
#pragma once

#include <cstddef>
#include <string>

#include "preview/preview_scene.h"
#include "preview/raster_image.h"
#include "preview/view.h"

namespace pelmora::preview {

// Picture size used when neither the options nor the camera give one.
inline constexpr int kDefaultWidth = 1280;
inline constexpr int kDefaultHeight = 720;
inline constexpr int kMaxSide = 16384;
inline constexpr long long kMaxPixels = 40'000'000;  // about 280 MB with the depth buffer

// True for a picture size the renderer accepts.
inline bool pictureSizeAccepted(long long width, long long height) {
    return width >= 1 && height >= 1 && width <= kMaxSide && height <= kMaxSide && width * height <= kMaxPixels;
}

struct RenderOptions {
    int width = 0;  // 0: the camera's picture size, else the default
    int height = 0;
    bool edges = false;   // outline every polygon
    bool lights = false;  // mark each light and its target
};

struct RenderReport {
    View view;
    bool fromCamera = false;
    std::string viewNote;  // how the view was chosen, one sentence
    std::size_t meshes = 0;
    std::size_t polygons = 0;      // polygons of three or more corners
    std::size_t lightsMarked = 0;  // lights whose marker lies in the picture
};

struct RenderResult {
    Image image;
    RenderReport report;
};

// The light that shades the faces comes from above and behind the viewer's
// left shoulder, fixed in the camera's frame so that every view reads well.
inline constexpr double kAmbient = 0.42;

RenderResult renderPreview(const PreviewScene& scene, const RenderOptions& options);

// The view and picture size renderPreview takes, with its note: the lit
// preview and the probe see the scene from the same place.
RenderReport viewFor(const PreviewScene& scene, const RenderOptions& options);

// The colour a face of `colour` gets when its normal (camera frame, facing the
// viewer) is `normal`.
Rgb shade(const Colour& colour, const Vec3d& normal);

// The background painted before anything else (a sky from top to bottom).
Rgb backgroundAt(int row, int height);

}  // namespace pelmora::preview
