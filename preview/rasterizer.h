// Draws into an Image through a View: polygons filled with one colour under a
// depth test, lines with or without it, and flat markers on top.
//
// Polygons are given in camera-frame coordinates (View::toCamera). Whatever
// lies nearer than the near plane is cut away, and so is whatever lies far
// outside the picture (a guard band), so that projected coordinates stay
// small enough for exact fixed-point edge functions: neighbouring triangles
// then share their edges without gaps or pixels drawn twice.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "preview/raster_image.h"
#include "preview/view.h"

namespace pelmora::preview {

class Rasterizer {
public:
    Rasterizer(Image& image, const View& view);

    // True when the camera-frame point needs no clipping (in front of the near
    // plane and inside the guard band).
    bool insideGuard(const Vec3d& c) const {
        return c.z >= view_.nearZ && std::abs(view_.focal * c.x) <= guard_ * c.z &&
               std::abs(view_.focal * c.y) <= guard_ * c.z;
    }

    // A polygon of camera-frame corners, clipped, projected and split.
    void fillPolygon(const Vec3d* corners, std::size_t count, Rgb colour);

    // A polygon of picture positions with 1 / depth (x, y, 1 / depth at each
    // pointer) inside the guard band: fanned when convex, else cut into ears.
    void fillProjected(const double* const* corners, std::size_t count, Rgb colour);

    // A triangle of picture positions with 1 / depth at each corner; the
    // positions must lie inside the guard band.
    void fillTriangle(const double* a, const double* b, const double* c, Rgb colour);

    // A one-pixel line between two camera-frame points. With `depthTested`, it
    // shows only where nothing stands clearly in front of it.
    void drawLine(const Vec3d& from, const Vec3d& to, Rgb colour, bool depthTested);

    // Markers drawn over everything, centred on a picture position.
    void fillDisc(double x, double y, double radius, Rgb fill, Rgb outline);
    void drawCross(double x, double y, double halfSize, Rgb colour);

    std::size_t trianglesFilled() const { return triangles_; }

private:
    void plot(int x, int y, Rgb colour);
    std::size_t clip(const Vec3d* corners, std::size_t count);

    Image& image_;
    View view_;
    double guard_;  // how far from the centre (pixels) positions may lie
    std::vector<Vec3d> clipA_, clipB_;
    std::vector<std::array<double, 3>> projected_;
    std::vector<const double*> projectedCorners_;
    std::vector<std::uint32_t> split_, splitWork_;
    std::size_t triangles_ = 0;
};

}  // namespace pelmora::preview
