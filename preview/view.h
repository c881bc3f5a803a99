// The pinhole camera of a preview: a frame looking from the eye to the target
// with the scene's Y up, and the projection onto the picture.
//
// The scene file is Y-up but its axes are the drawing's (x, y, z) written as
// (x, z, y): X east, Y up, Z north. That frame is left-handed, so "right" on
// the picture is up × forward.
#pragma once

#include "preview/preview_scene.h"

namespace pelmora::preview {

inline Vec3d operator-(const Vec3d& a, const Vec3d& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3d operator+(const Vec3d& a, const Vec3d& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3d operator*(const Vec3d& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline double dot(const Vec3d& a, const Vec3d& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3d cross(const Vec3d& a, const Vec3d& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double length(const Vec3d& a);
Vec3d normalised(const Vec3d& a);

struct View {
    Vec3d eye;
    Vec3d right, up, forward;  // unit vectors of the camera frame, in scene axes
    double focal = 1.0;        // picture pixels per unit of x / z
    double centreX = 0.0, centreY = 0.0;
    double nearZ = 1e-3;  // nothing nearer than this along forward is drawn
    int width = 0, height = 0;

    // Camera-frame coordinates: x to the right, y up, z the distance along forward.
    Vec3d toCamera(const Vec3d& p) const {
        const Vec3d d = p - eye;
        return {dot(d, right), dot(d, up), dot(d, forward)};
    }
    // Picture position (pixels, x right, y down, pixel centres at .5) of a
    // camera-frame point with z > 0.
    double pictureX(const Vec3d& c) const { return centreX + focal * c.x / c.z; }
    double pictureY(const Vec3d& c) const { return centreY - focal * c.y / c.z; }
};

// The camera's view angle is half the angle the picture's diagonal spans
// (preview/view_angle.h): the exporter makes it from the drawing view's half
// angle across its square window times the square's diagonal ratio (1.414).
double focalForViewAngle(double viewAngle, int width, int height);

// A camera at `eye` aiming at `target` (distinct points); the near plane lies
// at a small fraction of their distance.
View lookAt(const Vec3d& eye, const Vec3d& target, double viewAngle, int width, int height);

struct Bounds {
    Vec3d low, high;
    bool empty = true;
    void add(const Vec3d& p);
    Vec3d centre() const { return (low + high) * 0.5; }
    double radius() const { return empty ? 0.0 : length(high - low) * 0.5; }
};

Bounds sceneBounds(const PreviewScene& scene);

// The view used without a camera: from the south-east and above, far enough
// that the bounding sphere of `bounds` fits the picture.
View framingView(const Bounds& bounds, int width, int height);

}  // namespace pelmora::preview
