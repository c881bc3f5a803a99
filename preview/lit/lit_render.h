// The lit preview: the scene from its view, lit only by its own lights, with
// hard shadows, each pixel's illuminance kept for the false-colour picture,
// and an exposure chosen from the picture unless one is given.
#pragma once

#include <optional>
#include <vector>

#include "preview/lit/lit_scene.h"
#include "preview/raster_image.h"
#include "preview/view.h"

namespace pelmora::preview {

// Where nothing stands: darker than any lit surface, so that it reads as night.
inline constexpr Rgb kLitBackground{16, 18, 24};

struct LitPicture {
    Image image;
    // Per pixel: the illuminance (lux) on the first surface seen; negative
    // where the pixel shows no surface.
    std::vector<float> illuminance;
    double exposure = 0.0;  // EV at ISO 100
    bool exposureChosen = false;
    double brightest = 0.0;                 // the greatest illuminance of a pixel
    std::vector<double> brightestPerLight;  // each light's greatest share of one
};

// `exposure`: EV at ISO 100; none chooses it from the picture.
LitPicture renderLit(const LitScene& scene, const View& view, std::optional<double> exposure);

// The ray through the middle of a pixel (unit direction).
Vec3d pixelRay(const View& view, double x, double y);

// The exposure (EV, ISO 100) that shows an average scene luminance of
// `luminance` cd/m² as a mid-grey: log2(L · 100 / 12.5).
double exposureForLuminance(double luminance);

// Luminance (cd/m²) shown as the brightest value at an exposure: 1.2 · 2^EV.
double whiteAt(double exposure);

}  // namespace pelmora::preview
