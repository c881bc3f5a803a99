// The one 3D vector: three coordinates and the little arithmetic the preview
// and the geometry need. Floats where a file stores 32-bit floats, doubles
// where lengths are computed; what the axes and units mean is the user's.
#pragma once

#include <cmath>

namespace pelmora::base {

template <class T>
struct Vec3 {
    T x{}, y{}, z{};
    bool operator==(const Vec3&) const = default;
};

using Vec3f = Vec3<float>;
using Vec3d = Vec3<double>;

template <class T>
Vec3<T> operator+(const Vec3<T>& a, const Vec3<T>& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
template <class T>
Vec3<T> operator-(const Vec3<T>& a, const Vec3<T>& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
template <class T>
Vec3<T> operator*(const Vec3<T>& a, T s) {
    return {a.x * s, a.y * s, a.z * s};
}
template <class T>
T dot(const Vec3<T>& a, const Vec3<T>& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
template <class T>
Vec3<T> cross(const Vec3<T>& a, const Vec3<T>& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
template <class T>
T length(const Vec3<T>& a) {
    return std::sqrt(dot(a, a));
}
// The unit vector along `a`; a zero vector stays as it is.
template <class T>
Vec3<T> normalised(const Vec3<T>& a) {
    const T l = length(a);
    return l > T(0) ? a * (T(1) / l) : a;
}

}  // namespace pelmora::base
