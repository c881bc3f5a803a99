#include "preview/lit/ray_scene.h"

#include <embree3/rtcore.h>

#include <limits>
#include <stdexcept>
#include <string>

namespace pelmora::preview {

struct RayScene::Library {
    RTCDevice device = nullptr;
    RTCScene scene = nullptr;
    unsigned meshes = 0;
    ~Library() {
        if (scene) rtcReleaseScene(scene);
        if (device) rtcReleaseDevice(device);
    }
};

namespace {

RTCRay rayOf(const Vec3d& origin, const Vec3d& direction, double near, double far) {
    RTCRay ray{};
    ray.org_x = static_cast<float>(origin.x);
    ray.org_y = static_cast<float>(origin.y);
    ray.org_z = static_cast<float>(origin.z);
    ray.dir_x = static_cast<float>(direction.x);
    ray.dir_y = static_cast<float>(direction.y);
    ray.dir_z = static_cast<float>(direction.z);
    ray.tnear = static_cast<float>(near);
    ray.tfar = far >= static_cast<double>(std::numeric_limits<float>::max()) ? std::numeric_limits<float>::infinity()
                                                                             : static_cast<float>(far);
    ray.mask = 0xFFFFFFFFu;
    return ray;
}

// A query that collects every hit: the filter records each and turns it
// down, so that the search goes on to the next.
struct CollectingContext {
    RTCIntersectContext context;  // first: Embree hands the filter this address
    std::vector<RayScene::Hit>* hits;
};

void collectHit(const RTCFilterFunctionNArguments* arguments) {
    auto* collecting = reinterpret_cast<CollectingContext*>(arguments->context);
    for (unsigned i = 0; i < arguments->N; ++i) {
        if (arguments->valid[i] != -1) continue;
        RayScene::Hit hit;
        hit.found = true;
        hit.mesh = RTCHitN_geomID(arguments->hit, arguments->N, i);
        hit.triangle = RTCHitN_primID(arguments->hit, arguments->N, i);
        hit.u = RTCHitN_u(arguments->hit, arguments->N, i);
        hit.v = RTCHitN_v(arguments->hit, arguments->N, i);
        hit.distance = RTCRayN_tfar(arguments->ray, arguments->N, i);
        collecting->hits->push_back(hit);
        arguments->valid[i] = 0;
    }
}

}  // namespace

RayScene::RayScene() : library_(std::make_unique<Library>()) {
    library_->device = rtcNewDevice(nullptr);
    if (!library_->device) throw std::runtime_error("the ray tracer could not start (Embree device)");
    library_->scene = rtcNewScene(library_->device);
    rtcSetSceneFlags(library_->scene, RTC_SCENE_FLAG_CONTEXT_FILTER_FUNCTION);
    rtcSetSceneBuildQuality(library_->scene, RTC_BUILD_QUALITY_MEDIUM);
}

RayScene::~RayScene() = default;

unsigned RayScene::addMesh(const std::vector<Vec3f>& vertices,
                           const std::vector<std::array<std::uint32_t, 3>>& triangles) {
    RTCGeometry geometry = rtcNewGeometry(library_->device, RTC_GEOMETRY_TYPE_TRIANGLE);
    // Embree pads the buffers it makes for its 16-byte loads.
    auto* points = static_cast<float*>(rtcSetNewGeometryBuffer(geometry, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3,
                                                               3 * sizeof(float), vertices.size()));
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        points[3 * i] = vertices[i].x;
        points[3 * i + 1] = vertices[i].y;
        points[3 * i + 2] = vertices[i].z;
    }
    auto* corners = static_cast<unsigned*>(rtcSetNewGeometryBuffer(geometry, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3,
                                                                   3 * sizeof(unsigned), triangles.size()));
    for (std::size_t i = 0; i < triangles.size(); ++i)
        for (int c = 0; c < 3; ++c) corners[3 * i + c] = triangles[i][c];
    rtcCommitGeometry(geometry);
    const unsigned id = rtcAttachGeometry(library_->scene, geometry);
    rtcReleaseGeometry(geometry);
    ++library_->meshes;
    return id;
}

void RayScene::commit() {
    rtcCommitScene(library_->scene);
    // Running out of memory while building leaves a scene no ray would meet.
    if (const RTCError error = rtcGetDeviceError(library_->device); error != RTC_ERROR_NONE)
        throw std::runtime_error("the ray tracer could not take the scene (Embree error " + std::to_string(error) +
                                 (error == RTC_ERROR_OUT_OF_MEMORY ? ": out of memory)" : ")"));
}

RayScene::Hit RayScene::firstHit(const Vec3d& origin, const Vec3d& direction, double near, double far) const {
    RTCIntersectContext context;
    rtcInitIntersectContext(&context);
    RTCRayHit rayHit{};
    rayHit.ray = rayOf(origin, direction, near, far);
    rayHit.hit.geomID = RTC_INVALID_GEOMETRY_ID;
    rayHit.hit.instID[0] = RTC_INVALID_GEOMETRY_ID;
    rtcIntersect1(library_->scene, &context, &rayHit);
    Hit hit;
    if (rayHit.hit.geomID == RTC_INVALID_GEOMETRY_ID) return hit;
    hit.found = true;
    hit.mesh = rayHit.hit.geomID;
    hit.triangle = rayHit.hit.primID;
    hit.distance = rayHit.ray.tfar;
    hit.u = rayHit.hit.u;
    hit.v = rayHit.hit.v;
    return hit;
}

bool RayScene::blocked(const Vec3d& origin, const Vec3d& direction, double near, double far) const {
    RTCIntersectContext context;
    rtcInitIntersectContext(&context);
    RTCRay ray = rayOf(origin, direction, near, far);
    rtcOccluded1(library_->scene, &context, &ray);
    return ray.tfar < 0.0f;
}

std::vector<RayScene::Hit> RayScene::allHits(const Vec3d& origin, const Vec3d& direction, double near,
                                             double far) const {
    std::vector<Hit> hits;
    CollectingContext collecting{};
    rtcInitIntersectContext(&collecting.context);
    collecting.context.filter = collectHit;
    collecting.hits = &hits;
    RTCRayHit rayHit{};
    rayHit.ray = rayOf(origin, direction, near, far);
    rayHit.hit.geomID = RTC_INVALID_GEOMETRY_ID;
    rayHit.hit.instID[0] = RTC_INVALID_GEOMETRY_ID;
    rtcIntersect1(library_->scene, &collecting.context, &rayHit);
    return hits;
}

}  // namespace pelmora::preview
