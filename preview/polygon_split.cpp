#include "preview/polygon_split.h"

namespace pelmora::preview {

namespace {

double cross(const double* a, const double* b, const double* c) {
    return (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]);
}

bool samePlace(const double* a, const double* b) { return a[0] == b[0] && a[1] == b[1]; }

void fan(std::size_t count, std::vector<std::uint32_t>& triangles) {
    for (std::size_t i = 2; i < count; ++i)
        triangles.insert(triangles.end(), {0u, static_cast<std::uint32_t>(i - 1), static_cast<std::uint32_t>(i)});
}

bool convex(const double* const* corners, std::size_t count) {
    int sign = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double turn = cross(corners[i], corners[(i + 1) % count], corners[(i + 2) % count]);
        const int s = (turn > 0.0) - (turn < 0.0);
        if (s == 0) continue;
        if (sign == 0) sign = s;
        else if (s != sign) return false;
    }
    return true;
}

// Inside or on the edges of the triangle a, b, c turning the way `orientation` says.
bool inTriangle(const double* p, const double* a, const double* b, const double* c, double orientation) {
    return cross(a, b, p) * orientation >= 0.0 && cross(b, c, p) * orientation >= 0.0 &&
           cross(c, a, p) * orientation >= 0.0;
}

}  // namespace

void splitPolygon(const double* const* corners, std::size_t count, std::vector<std::uint32_t>& triangles,
                  std::vector<std::uint32_t>& work) {
    triangles.clear();
    if (count < 3) return;
    if (count == 3 || count > kMaxClippedCorners || convex(corners, count)) {
        fan(count, triangles);
        return;
    }
    double area = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        const double* p = corners[i];
        const double* q = corners[(i + 1) % count];
        area += p[0] * q[1] - q[0] * p[1];
    }
    if (area == 0.0) return;  // seen edge-on: covers nothing
    const double orientation = area > 0.0 ? 1.0 : -1.0;

    work.resize(count);
    for (std::size_t i = 0; i < count; ++i) work[i] = static_cast<std::uint32_t>(i);
    std::size_t at = 0, misses = 0;
    while (work.size() > 3) {
        const std::size_t m = work.size();
        const std::uint32_t ia = work[(at + m - 1) % m], ib = work[at % m], ic = work[(at + 1) % m];
        const double *a = corners[ia], *b = corners[ib], *c = corners[ic];
        bool ear = cross(a, b, c) * orientation > 0.0;
        for (std::size_t k = 0; k < m && ear; ++k) {
            const double* p = corners[work[k]];
            if (work[k] == ia || work[k] == ib || work[k] == ic) continue;
            if (samePlace(p, a) || samePlace(p, b) || samePlace(p, c)) continue;
            ear = !inTriangle(p, a, b, c, orientation);
        }
        if (ear) {
            triangles.insert(triangles.end(), {ia, ib, ic});
            work.erase(work.begin() + static_cast<std::ptrdiff_t>(at % m));
            at %= work.size();
            misses = 0;
            continue;
        }
        at = (at + 1) % m;
        if (++misses > m) {
            // No ear left (a polygon that crosses itself): fan what remains.
            for (std::size_t i = 2; i < work.size(); ++i)
                triangles.insert(triangles.end(), {work[0], work[i - 1], work[i]});
            return;
        }
    }
    triangles.insert(triangles.end(), {work[0], work[1], work[2]});
}

}  // namespace pelmora::preview
