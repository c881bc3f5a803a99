// Texture pictures read into memory: JPEG through libjpeg, PNG through
// libpng, as 8-bit RGB rows from the top. Anything else, or a damaged file,
// gives no picture and says why.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pelmora::preview {

struct TexturePicture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;  // three bytes a pixel, row by row from the top
    bool empty() const { return width <= 0 || height <= 0; }
};

// The picture in `bytes` (a whole JPEG or PNG file); on failure an empty
// picture and `problem` saying why.
TexturePicture decodePicture(const std::string& bytes, std::string& problem);

}  // namespace pelmora::preview
