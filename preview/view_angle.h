// What a QMX camera's view angle means, in one place for the preview, the
// conversion to glTF and the model import: the angle between the line of
// sight and a corner of the picture, that is, half the angle the picture's
// diagonal spans. With the picture's size it gives the vertical and
// horizontal angles of the whole view, and back.
#pragma once

#include <cassert>
#include <cmath>

namespace pelmora::preview {

// The picture every camera the plug-in writes asks for.
inline constexpr int kCameraPictureWidth = 640;
inline constexpr int kCameraPictureHeight = 480;

// Whole vertical angle of the view (radians) of a view angle on a picture.
inline double verticalFieldOfView(double viewAngle, int width, int height) {
    assert(width > 0 && height > 0);
    const double diagonal = std::hypot(static_cast<double>(width), static_cast<double>(height));
    return 2.0 * std::atan(std::tan(viewAngle) * height / diagonal);
}

// The view angle whose picture of `width` × `height` spans `yfov` vertically.
inline double viewAngleForVerticalFieldOfView(double yfov, int width, int height) {
    assert(width > 0 && height > 0);
    const double diagonal = std::hypot(static_cast<double>(width), static_cast<double>(height));
    return std::atan(std::tan(0.5 * yfov) * diagonal / height);
}

}  // namespace pelmora::preview
