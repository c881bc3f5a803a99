#include "preview/rasterizer.h"

#include <algorithm>
#include <array>
#include <utility>

#include "preview/polygon_split.h"

namespace pelmora::preview {

namespace {

// Picture positions are snapped to 1/256 of a pixel. With the guard band
// below 2^16 pixels, coordinates stay below 2^24 and every edge function
// product below 2^48: exact in 64-bit integers.
constexpr double kSubpixels = 256.0;
constexpr std::int64_t kHalfPixel = 128;
constexpr std::int64_t kPixel = 256;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

// Rounds a picture coordinate (well inside the guard band) to fixed point
// without a library call: this runs three times per triangle.
std::int64_t toFixed(double v) {
    const double scaled = v * kSubpixels;
    return static_cast<std::int64_t>(scaled >= 0.0 ? scaled + 0.5 : scaled - 0.5);
}

struct Fixed {
    std::int64_t x, y;
    double depth;
};

// The five half-spaces a drawn point must lie in: in front of the near plane
// and inside the guard band around the picture.
double planeDistance(int plane, const Vec3d& c, double focal, double guard, double nearZ) {
    switch (plane) {
        case 0:
            return c.z - nearZ;
        case 1:
            return guard * c.z - focal * c.x;
        case 2:
            return guard * c.z + focal * c.x;
        case 3:
            return guard * c.z - focal * c.y;
        default:
            return guard * c.z + focal * c.y;
    }
}

constexpr int kPlanes = 5;

}  // namespace

Rasterizer::Rasterizer(Image& image, const View& view)
    : image_(image), view_(view), guard_(16384.0 + std::max(view.width, view.height)) {}

std::size_t Rasterizer::clip(const Vec3d* corners, std::size_t count) {
    clipA_.assign(corners, corners + count);
    for (int plane = 0; plane < kPlanes && !clipA_.empty(); ++plane) {
        clipB_.clear();
        const std::size_t n = clipA_.size();
        for (std::size_t i = 0; i < n; ++i) {
            const Vec3d& p = clipA_[i];
            const Vec3d& q = clipA_[(i + 1) % n];
            const double dp = planeDistance(plane, p, view_.focal, guard_, view_.nearZ);
            const double dq = planeDistance(plane, q, view_.focal, guard_, view_.nearZ);
            if (dp >= 0.0) clipB_.push_back(p);
            if ((dp >= 0.0) != (dq >= 0.0)) {
                const double t = dp / (dp - dq);
                clipB_.push_back(p + (q - p) * t);
            }
        }
        std::swap(clipA_, clipB_);
    }
    return clipA_.size();
}

void Rasterizer::fillPolygon(const Vec3d* corners, std::size_t count, Rgb colour) {
    if (count < 3) return;
    const Vec3d* points = corners;
    bool inside = true;
    for (std::size_t i = 0; i < count && inside; ++i) inside = insideGuard(corners[i]);
    if (!inside) {
        count = clip(corners, count);
        points = clipA_.data();
        if (count < 3) return;
    }
    projected_.resize(count);
    projectedCorners_.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        projected_[i] = {view_.pictureX(points[i]), view_.pictureY(points[i]), 1.0 / points[i].z};
        projectedCorners_[i] = projected_[i].data();
    }
    fillProjected(projectedCorners_.data(), count, colour);
}

void Rasterizer::fillProjected(const double* const* corners, std::size_t count, Rgb colour) {
    splitPolygon(corners, count, split_, splitWork_);
    for (std::size_t i = 0; i + 2 < split_.size(); i += 3)
        fillTriangle(corners[split_[i]], corners[split_[i + 1]], corners[split_[i + 2]], colour);
}

namespace {

// The pixels whose centres a triangle may cover, clipped to the picture.
struct PixelBox {
    std::int64_t lowX, highX, lowY, highY;
    bool empty() const { return lowX > highX || lowY > highY; }
};

PixelBox pixelBox(const Fixed& a, const Fixed& b, const Fixed& c, int width, int height) {
    return {std::max<std::int64_t>(0, floorDiv(std::min({a.x, b.x, c.x}) - kHalfPixel + kPixel - 1, kPixel)),
            std::min<std::int64_t>(width - 1, floorDiv(std::max({a.x, b.x, c.x}) - kHalfPixel, kPixel)),
            std::max<std::int64_t>(0, floorDiv(std::min({a.y, b.y, c.y}) - kHalfPixel + kPixel - 1, kPixel)),
            std::min<std::int64_t>(height - 1, floorDiv(std::max({a.y, b.y, c.y}) - kHalfPixel, kPixel))};
}

// Edge function of v0 -> v1 at a pixel centre: positive on the triangle's
// side, with its steps to the next pixel and the next row. Of the two
// triangles sharing an edge, exactly one owns the pixels on it.
struct Edge {
    std::int64_t value, stepX, stepY;
};

Edge edgeAt(const Fixed& v0, const Fixed& v1, std::int64_t px, std::int64_t py) {
    const std::int64_t dx = v1.x - v0.x, dy = v1.y - v0.y;
    const bool owns = dy < 0 || (dy == 0 && dx > 0);
    return Edge{dx * (py - v0.y) - dy * (px - v0.x) - (owns ? 0 : 1), -dy * kPixel, dx * kPixel};
}

// 1 / depth is affine in picture space: its value at the first pixel centre
// of the box and its steps along a row and down the rows.
struct DepthPlane {
    double start, stepX, stepY;
};

DepthPlane depthPlane(const Fixed& a, const Fixed& b, const Fixed& c, const PixelBox& box) {
    const double ax = a.x / kSubpixels, ay = a.y / kSubpixels;
    const double bx = b.x / kSubpixels - ax, by = b.y / kSubpixels - ay;
    const double cx = c.x / kSubpixels - ax, cy = c.y / kSubpixels - ay;
    const double det = bx * cy - cx * by;
    const double dzdx = ((b.depth - a.depth) * cy - (c.depth - a.depth) * by) / det;
    const double dzdy = ((c.depth - a.depth) * bx - (b.depth - a.depth) * cx) / det;
    return {a.depth + dzdx * (box.lowX + 0.5 - ax) + dzdy * (box.lowY + 0.5 - ay), dzdx, dzdy};
}

}  // namespace

void Rasterizer::fillTriangle(const double* pa, const double* pb, const double* pc, Rgb colour) {
    Fixed a{toFixed(pa[0]), toFixed(pa[1]), pa[2]};
    Fixed b{toFixed(pb[0]), toFixed(pb[1]), pb[2]};
    Fixed c{toFixed(pc[0]), toFixed(pc[1]), pc[2]};
    std::int64_t area = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
    if (area == 0) return;
    if (area < 0) {  // back faces are drawn like front faces
        std::swap(b, c);
        area = -area;
    }
    const PixelBox box = pixelBox(a, b, c, image_.width, image_.height);
    ++triangles_;
    if (box.empty()) return;
    const std::int64_t px = box.lowX * kPixel + kHalfPixel;
    const std::int64_t py = box.lowY * kPixel + kHalfPixel;
    Edge e0 = edgeAt(a, b, px, py), e1 = edgeAt(b, c, px, py), e2 = edgeAt(c, a, px, py);
    const DepthPlane plane = depthPlane(a, b, c, box);

    float* depth = image_.inverseDepth.data();
    const int width = image_.width;
    for (std::int64_t y = box.lowY; y <= box.highY; ++y) {
        std::int64_t w0 = e0.value, w1 = e1.value, w2 = e2.value;
        double z = plane.start + plane.stepY * static_cast<double>(y - box.lowY);
        std::size_t pixel =
            static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(box.lowX);
        for (std::int64_t x = box.lowX; x <= box.highX; ++x, ++pixel) {
            if ((w0 | w1 | w2) >= 0) {
                const float zf = static_cast<float>(z);
                if (zf > depth[pixel]) {
                    depth[pixel] = zf;
                    image_.set(pixel, colour);
                }
            }
            w0 += e0.stepX;
            w1 += e1.stepX;
            w2 += e2.stepX;
            z += plane.stepX;
        }
        e0.value += e0.stepY;
        e1.value += e1.stepY;
        e2.value += e2.stepY;
    }
}

void Rasterizer::drawLine(const Vec3d& from, const Vec3d& to, Rgb colour, bool depthTested) {
    double t0 = 0.0, t1 = 1.0;
    for (int plane = 0; plane < kPlanes && !(insideGuard(from) && insideGuard(to)); ++plane) {
        const double d0 = planeDistance(plane, from, view_.focal, guard_, view_.nearZ);
        const double d1 = planeDistance(plane, to, view_.focal, guard_, view_.nearZ);
        if (d0 < 0.0 && d1 < 0.0) return;
        if (d0 < 0.0) t0 = std::max(t0, d0 / (d0 - d1));
        if (d1 < 0.0) t1 = std::min(t1, d0 / (d0 - d1));
    }
    if (!(t0 <= t1)) return;
    const Vec3d p = from + (to - from) * t0;
    const Vec3d q = from + (to - from) * t1;
    const double x0 = view_.pictureX(p), y0 = view_.pictureY(p), z0 = 1.0 / p.z;
    const double x1 = view_.pictureX(q), y1 = view_.pictureY(q), z1 = 1.0 / q.z;
    const double span = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
    const int steps = std::max(1, static_cast<int>(std::ceil(span)));
    for (int i = 0; i <= steps; ++i) {
        const double t = static_cast<double>(i) / steps;
        const double x = x0 + (x1 - x0) * t, y = y0 + (y1 - y0) * t;
        if (x < 0.0 || y < 0.0 || x >= image_.width || y >= image_.height) continue;
        const int ix = static_cast<int>(x), iy = static_cast<int>(y);
        if (depthTested) {
            // A line on a face loses to it only where the face is clearly nearer.
            const float z = static_cast<float>(z0 + (z1 - z0) * t);
            if (z < image_.inverseDepth[image_.index(ix, iy)] * (1.0f - 2e-3f)) continue;
        }
        plot(ix, iy, colour);
    }
}

void Rasterizer::plot(int x, int y, Rgb colour) {
    if (x < 0 || y < 0 || x >= image_.width || y >= image_.height) return;
    image_.set(image_.index(x, y), colour);
}

void Rasterizer::fillDisc(double x, double y, double radius, Rgb fill, Rgb outline) {
    const int r = static_cast<int>(std::ceil(radius));
    const int cx = static_cast<int>(std::floor(x)), cy = static_cast<int>(std::floor(y));
    for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx) {
            const double d = std::sqrt(static_cast<double>(dx * dx + dy * dy));
            if (d <= radius - 1.5) plot(cx + dx, cy + dy, fill);
            else if (d <= radius) plot(cx + dx, cy + dy, outline);
        }
}

void Rasterizer::drawCross(double x, double y, double halfSize, Rgb colour) {
    const int h = static_cast<int>(halfSize);
    const int cx = static_cast<int>(std::floor(x)), cy = static_cast<int>(std::floor(y));
    for (int d = -h; d <= h; ++d) {
        plot(cx + d, cy + d, colour);
        plot(cx + d, cy - d, colour);
        plot(cx + d + 1, cy + d, colour);
        plot(cx + d + 1, cy - d, colour);
    }
}

}  // namespace pelmora::preview
