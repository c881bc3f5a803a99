// A 5×7 pixel font of the few characters the false-colour legend writes
// (digits, '.', 'e', '-', 'l', 'x' and a space), so the picture needs no font library.
#pragma once

#include <string>

#include "preview/raster_image.h"

namespace pelmora::preview {

inline constexpr int kGlyphWidth = 5, kGlyphHeight = 7;

// Writes `text` with its top left corner at (x, y), each font pixel `scale`
// picture pixels; characters the font lacks are left blank.
void writeText(Image& image, int x, int y, const std::string& text, int scale, Rgb colour);

// The width in picture pixels writeText takes for `text`.
int textWidth(const std::string& text, int scale);

}  // namespace pelmora::preview
