// The lit preview's illuminance against formulas worked out here, not by the
// code under test: a point light and a sun over a floor, a spot's cone and
// its disc in the picture, a box's shadow against a segment-box test, and a
// pane that passes its transparency.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "plugin/payloads/payload_light.h"
#include "preview/lit/lit_render.h"
#include "preview/lit/probe.h"
#include "tests/preview/box_mesh.h"

namespace pelmora::preview {
namespace {

constexpr double kPi = 3.14159265358979323846;

PreviewMesh quadMesh(const char* name, Vec3d a, Vec3d b, Vec3d c, Vec3d d) {
    PreviewMesh mesh;
    mesh.name = name;
    mesh.vertices = {a, b, c, d};
    mesh.addPolygon({0, 1, 2, 3});
    return mesh;
}

// A floor of 40 m by 40 m at height 0.
PreviewMesh floorMesh() { return quadMesh("Floor", {-20, 0, -20}, {20, 0, -20}, {20, 0, 20}, {-20, 0, 20}); }

PreviewLight lightOf(LightKind kind, Vec3d position, std::optional<Vec3d> target, double hostIntensity,
                     double innerDegrees = 0.0, double outerDegrees = 0.0) {
    const int type = kind == LightKind::Directional ? 1 : kind == LightKind::Spot ? 3 : 2;
    return {"Lamp", position, target,
            readLightValues(type, hostIntensity * kHostIntensityFactor, {1.0, 1.0, 1.0}, innerDegrees, outerDegrees)};
}

// The probe at a floor point, seen from above.
ProbeReport probeAt(const LitScene& lit, Vec3d point) {
    const Vec3d above = point + Vec3d{0.0, 50.0, 0.0};
    double nearest = 0.0;
    const auto surface = surfaceNear(lit, point, &above, 1e-3, nearest);
    EXPECT_TRUE(surface.has_value()) << point.x << "," << point.z;
    return surface ? probe(lit, *surface) : ProbeReport{};
}

TEST(LitAnalytic, TheFactorIsTheOneThePluginWritesWith) {
    EXPECT_EQ(kHostIntensityFactor, light_payload::kIntensityScale);
}

TEST(LitAnalytic, PointLightAndSunOverAFloorFollowTheirFormulas) {
    for (const double height : {1.5, 3.0}) {
        PreviewScene scene;
        scene.meshes.push_back(floorMesh());
        scene.lights.push_back(lightOf(LightKind::Point, {0.25, height, -0.5}, std::nullopt, 0.8));
        const LitScene lit(scene, {});
        const double candela = 800.0;
        for (double x = -6.0; x <= 6.0; x += 1.5)
            for (double z = -6.0; z <= 6.0; z += 2.0) {
                const double dx = x - 0.25, dz = z + 0.5;
                const double d = std::sqrt(dx * dx + height * height + dz * dz);
                const double expected = candela * (height / d) / (d * d);
                const ProbeReport report = probeAt(lit, {x, 0.0, z});
                EXPECT_NEAR(report.illuminance / expected, 1.0, 1e-4) << x << "," << z << " at " << height;
            }
    }
    // Doubling the height quarters the illuminance straight below.
    auto below = [](double height) {
        PreviewScene scene;
        scene.meshes.push_back(floorMesh());
        scene.lights.push_back(lightOf(LightKind::Point, {0.0, height, 0.0}, std::nullopt, 1.0));
        const LitScene lit(scene, {});
        return probeAt(lit, {0.0, 0.0, 0.0}).illuminance;
    };
    EXPECT_NEAR(below(2.0) / below(4.0), 4.0, 4e-4);
    EXPECT_NEAR(below(2.0), 1000.0 / 4.0, 1000.0 / 4.0 * 1e-4);

    // A sun gives I cos(theta) wherever it shines, however far.
    PreviewScene sunny;
    sunny.meshes.push_back(floorMesh());
    const Vec3d from{-4.0, 10.0, 3.0}, to{2.0, 0.0, -1.0};
    sunny.lights.push_back(lightOf(LightKind::Directional, from, to, 0.6));
    const LitScene lit(sunny, {});
    const Vec3d towards = base::normalised(from - to);
    for (double x = -15.0; x <= 15.0; x += 5.0)
        EXPECT_NEAR(probeAt(lit, {x, 0.0, 7.0}).illuminance / (600.0 * towards.y), 1.0, 1e-4) << x;
}

TEST(LitAnalytic, SpotConeIsZeroBeyondItsOuterAngleAndLightsADiscOfItsRadius) {
    const double height = 3.0, inner = 30.0, outer = 50.0;
    PreviewScene scene;
    scene.meshes.push_back(floorMesh());
    scene.lights.push_back(lightOf(LightKind::Spot, {0.0, height, 0.0}, Vec3d{0.0, 0.0, 0.0}, 1.0, inner, outer));
    scene.camera = PreviewCamera{{0.0, 10.0, 0.0}, {0.0, 0.0, 0.0}, 0.5, 401, 401};
    const LitScene lit(scene, {});
    const double innerRadius = height * std::tan(inner / 2.0 * kPi / 180.0);
    const double outerRadius = height * std::tan(outer / 2.0 * kPi / 180.0);
    for (double r = 0.0; r <= 3.0; r += 0.05) {
        const ProbeReport report = probeAt(lit, {r, 0.0, 0.0});
        const double d = std::hypot(r, height), cosAngle = height / d;
        double cone = 1.0;
        if (r >= outerRadius) cone = 0.0;
        else if (r > innerRadius) {
            const double t = (cosAngle - std::cos(outer / 2.0 * kPi / 180.0)) /
                             (std::cos(inner / 2.0 * kPi / 180.0) - std::cos(outer / 2.0 * kPi / 180.0));
            cone = t * t * (3.0 - 2.0 * t);
        }
        const double expected = 1000.0 * cone * cosAngle / (d * d);
        EXPECT_NEAR(report.illuminance, expected, 1e-4 * 1000.0 / (height * height)) << r;
        if (r > outerRadius) {
            ASSERT_EQ(report.shares.size(), 1u);
            EXPECT_EQ(reasonText(report.shares[0], {"Floor"}), "outside its cone") << r;
        }
    }
    // In the picture from straight above: the last lit pixel along the middle
    // row lies within one pixel of the disc's edge.
    const View view = lookAt(scene.camera->eye, scene.camera->target, 0.5, 401, 401);
    const LitPicture picture = renderLit(lit, view, 0.0);
    const int row = 200;
    int last = -1;
    for (int x = 200; x < 401; ++x)
        if (picture.illuminance[picture.image.index(x, row)] > 0.0f) last = x;
    ASSERT_GT(last, 200);
    const double metresPerPixel = 10.0 / view.focal;  // on the floor, 10 m below the camera
    const double lastRadius = (last + 0.5 - view.centreX) * metresPerPixel;
    EXPECT_NEAR(lastRadius, outerRadius, metresPerPixel) << "last lit pixel " << last;
}

// Whether the segment from p to q meets the box [low, high] (slab test).
bool segmentMeetsBox(Vec3d p, Vec3d q, Vec3d low, Vec3d high) {
    double t0 = 0.0, t1 = 1.0;
    const double from[3] = {p.x, p.y, p.z}, to[3] = {q.x, q.y, q.z};
    const double lo[3] = {low.x, low.y, low.z}, hi[3] = {high.x, high.y, high.z};
    for (int axis = 0; axis < 3; ++axis) {
        const double d = to[axis] - from[axis];
        if (std::abs(d) < 1e-15) {
            if (from[axis] < lo[axis] || from[axis] > hi[axis]) return false;
            continue;
        }
        double a = (lo[axis] - from[axis]) / d, b = (hi[axis] - from[axis]) / d;
        if (a > b) std::swap(a, b);
        t0 = std::max(t0, a);
        t1 = std::min(t1, b);
        if (t0 > t1) return false;
    }
    return true;
}

TEST(LitAnalytic, BoxShadowMatchesASegmentBoxTestAndNamesTheBox) {
    const Vec3d low{-0.5, 0.0, -0.4}, high{0.6, 1.2, 0.5}, lamp{0.3, 3.0, 0.2};
    PreviewScene scene;
    scene.meshes.push_back(floorMesh());
    scene.meshes.push_back(boxMesh("Crate", low, high));
    scene.lights.push_back(lightOf(LightKind::Point, lamp, std::nullopt, 1.0));
    const LitScene lit(scene, {});
    int shadowed = 0, litCount = 0;
    for (double x = -4.0; x <= 4.0; x += 0.23)
        for (double z = -4.0; z <= 4.0; z += 0.29) {
            if (x >= low.x && x <= high.x && z >= low.z && z <= high.z) continue;  // under the box
            const Vec3d point{x, 0.0, z};
            // Points within a centimetre of the shadow's edge are left out.
            bool edge = false;
            for (double dx : {-0.01, 0.01})
                for (double dz : {-0.01, 0.01})
                    edge = edge || segmentMeetsBox({x + dx, 0.0, z + dz}, lamp, low, high) !=
                                       segmentMeetsBox(point, lamp, low, high);
            if (edge) continue;
            const bool blocked = segmentMeetsBox(point, lamp, low, high);
            const ProbeReport report = probeAt(lit, point);
            ASSERT_EQ(report.shares.size(), 1u);
            EXPECT_EQ(report.shares[0].reach == Reach::Blocked, blocked) << x << "," << z;
            if (blocked) {
                EXPECT_EQ(reasonText(report.shares[0], {"Floor", "Crate"}), "blocked by Crate");
                EXPECT_EQ(report.illuminance, 0.0);
            }
            (blocked ? shadowed : litCount) += 1;
        }
    EXPECT_GT(shadowed, 10);
    EXPECT_GT(litCount, 100);
}

TEST(LitAnalytic, APanePassesItsTransparencyAndTheFloorBehindIsBehindTheSurface) {
    for (const float transparency : {0.0f, 0.25f, 0.7f, 1.0f}) {
        PreviewScene scene;
        scene.meshes.push_back(floorMesh());
        scene.meshes.push_back(quadMesh("Glass", {-3, 1, -3}, {3, 1, -3}, {3, 1, 3}, {-3, 1, 3}));
        scene.meshes.back().surface.transparency = transparency;
        scene.lights.push_back(lightOf(LightKind::Point, {0.0, 2.0, 0.0}, std::nullopt, 1.0));
        const LitScene lit(scene, {});
        for (double x : {0.0, 0.7, 1.9}) {
            const double d2 = 4.0 + x * x + 0.4 * 0.4, open = 1000.0 * (2.0 / std::sqrt(d2)) / d2;
            const ProbeReport report = probeAt(lit, {x, 0.0, 0.4});
            EXPECT_NEAR(report.illuminance, transparency * open, 1e-4 * open) << transparency << " at " << x;
            if (transparency == 0.0f) {
                EXPECT_EQ(reasonText(report.shares[0], {"Floor", "Glass"}), "blocked by Glass");
            }
        }
    }
    // Seen from below, the floor turns its back to a lamp above it.
    PreviewScene scene;
    scene.meshes.push_back(floorMesh());
    scene.lights.push_back(lightOf(LightKind::Point, {0.0, 2.0, 0.0}, std::nullopt, 1.0));
    const LitScene lit(scene, {});
    const Vec3d below{0.0, -5.0, 0.0};
    double nearest = 0.0;
    const auto surface = surfaceNear(lit, {1.0, 0.0, 1.0}, &below, 1e-3, nearest);
    ASSERT_TRUE(surface.has_value());
    const ProbeReport report = probe(lit, *surface);
    EXPECT_EQ(report.illuminance, 0.0);
    EXPECT_EQ(reasonText(report.shares[0], {"Floor"}), "behind the surface");
}

}  // namespace
}  // namespace pelmora::preview
