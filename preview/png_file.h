// Writes a preview picture as an 8-bit RGB PNG file. The file appears only
// when complete: the picture goes to a fresh file beside the target, which
// then replaces the target in one step.
#pragma once

#include <stdexcept>
#include <string>

#include "preview/raster_image.h"

namespace pelmora::preview {

class PictureError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws PictureError saying what failed; the target is then as it was.
// `path` is UTF-8, as every path of the tool.
void writePngFile(const Image& image, const std::string& path);

}  // namespace pelmora::preview
