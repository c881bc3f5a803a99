// An 8-bit RGB picture with the depth buffer it was drawn with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pelmora::preview {

struct Rgb {
    std::uint8_t red = 0, green = 0, blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  // row by row from the top, three bytes a pixel
    // 1 / distance along the view direction of what each pixel shows; 0 for
    // the background, so that nearer means larger.
    std::vector<float> inverseDepth;

    Image() = default;
    Image(int w, int h)
        : width(w),
          height(h),
          rgb(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3),
          inverseDepth(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0.0f) {}

    std::size_t index(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x);
    }
    Rgb at(int x, int y) const {
        const std::uint8_t* p = &rgb[index(x, y) * 3];
        return {p[0], p[1], p[2]};
    }
    void set(std::size_t pixel, Rgb c) {
        std::uint8_t* p = &rgb[pixel * 3];
        p[0] = c.red;
        p[1] = c.green;
        p[2] = c.blue;
    }
};

}  // namespace pelmora::preview
