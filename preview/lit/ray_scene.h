// Rays against the scene's triangles. Every call into the ray-tracing library
// (Embree 3) is in ray_scene.cpp, so that a move to another version or
// library changes that one file.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/vec3.h"

namespace pelmora::preview {

using base::Vec3d;
using base::Vec3f;

class RayScene {
public:
    // Throws std::runtime_error when the ray-tracing library cannot start.
    RayScene();
    ~RayScene();
    RayScene(const RayScene&) = delete;
    RayScene& operator=(const RayScene&) = delete;

    // Adds a mesh of triangles (corner numbers into `vertices`) and gives its
    // number, counted from 0 in the order of adding. Call before commit().
    unsigned addMesh(const std::vector<Vec3f>& vertices, const std::vector<std::array<std::uint32_t, 3>>& triangles);
    // Builds the acceleration structure; no mesh is added after it. Throws
    // std::runtime_error when the library could not (out of memory).
    void commit();

    struct Hit {
        bool found = false;
        unsigned mesh = 0, triangle = 0;
        double distance = 0.0;    // along the ray, in lengths of `direction`
        double u = 0.0, v = 0.0;  // weights of the triangle's second and third corner
    };

    // The nearest triangle a ray meets between `near` and `far`.
    Hit firstHit(const Vec3d& origin, const Vec3d& direction, double near, double far) const;
    // Whether anything lies between `near` and `far` along the ray.
    bool blocked(const Vec3d& origin, const Vec3d& direction, double near, double far) const;
    // Every triangle the ray meets between `near` and `far`, in no order;
    // faces lying on each other are all there.
    std::vector<Hit> allHits(const Vec3d& origin, const Vec3d& direction, double near, double far) const;

private:
    struct Library;
    std::unique_ptr<Library> library_;
};

}  // namespace pelmora::preview
