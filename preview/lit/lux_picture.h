// The false-colour picture of illuminance: a logarithmic scale over whole
// decades that cover the picture's lit pixels, and its legend (colour bar and
// decade labels in lux) drawn into the picture's top right corner.
#pragma once

#include <vector>

#include "preview/raster_image.h"

namespace pelmora::preview {

struct LuxScale {
    int lowDecade = 0, highDecade = 1;  // the scale runs from 10^low to 10^high lux
};

// The decades the picture needs: from the brightest pixel down at most four
// decades, to the dimmest lit one. Negative values mean "no surface".
LuxScale luxScaleOf(const std::vector<float>& illuminance);

// The colour of an illuminance on the scale: dark blue at its foot, through
// cyan, green and yellow, to red at its top; unlit surfaces black.
Rgb luxColour(double lux, const LuxScale& scale);

// The picture, with the background left as the lit preview's.
Image luxPicture(const std::vector<float>& illuminance, int width, int height, const LuxScale& scale);

}  // namespace pelmora::preview
