#include "preview/lit/light_checks.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace pelmora::preview {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kGoldenAngle = 2.39996322972865332;

// A unit vector `k` of `count` spread evenly over the cap of directions
// within `halfAngle` of `axis` (the whole sphere for pi).
Vec3d capDirection(const Vec3d& axis, double halfAngle, int k, int count) {
    const double lowest = std::cos(halfAngle);
    const double z = 1.0 - (1.0 - lowest) * (k + 0.5) / count;
    const double r = std::sqrt(std::max(0.0, 1.0 - z * z));
    const double phi = kGoldenAngle * k;
    const Vec3d helper = std::abs(axis.y) < 0.9 ? Vec3d{0, 1, 0} : Vec3d{1, 0, 0};
    const Vec3d u = base::normalised(base::cross(helper, axis));
    const Vec3d v = base::cross(axis, u);
    return base::normalised(axis * z + u * (r * std::cos(phi)) + v * (r * std::sin(phi)));
}

// Whether the light stands inside one mesh's closed volume: a ray from a
// point inside crosses its surface an odd number of times, one from outside
// an even number. Counting crossings needs no front side, which a drawing's
// faces do not reliably have. A ray through a corner may still miscount, so
// nine rays in ten settle it. Gives the mesh, or -1.
int enclosingMesh(const LitScene& scene, const PhysicalLight& light) {
    std::map<unsigned, int> oddRays;
    for (int k = 0; k < kCheckRays; ++k) {
        const Vec3d direction = capDirection({0, 1, 0}, kPi, k, kCheckRays);
        std::vector<RayScene::Hit> hits =
            scene.rays().allHits(light.position, direction, 0.0, std::numeric_limits<double>::infinity());
        std::sort(hits.begin(), hits.end(), [](const auto& a, const auto& b) { return a.distance < b.distance; });
        std::map<unsigned, int> crossings;
        std::map<unsigned, double> last;
        for (const RayScene::Hit& hit : hits) {
            // Two triangles of one mesh met at one point: the ray passed their shared edge once.
            auto seen = last.find(hit.mesh);
            if (seen != last.end() && hit.distance - seen->second <= scene.offset()) continue;
            last[hit.mesh] = hit.distance;
            ++crossings[hit.mesh];
        }
        for (const auto& [mesh, times] : crossings)
            if (times % 2 == 1) ++oddRays[mesh];
    }
    int most = -1, count = 0;
    for (const auto& [mesh, rays] : oddRays)
        if (rays > count) most = static_cast<int>(mesh), count = rays;
    return count * 10 >= kCheckRays * 9 ? most : -1;
}

bool coneMeetsSurface(const LitScene& scene, const PhysicalLight& light) {
    for (int k = 0; k < kCheckRays; ++k) {
        const Vec3d direction = capDirection(light.direction, light.outerHalf, k, kCheckRays);
        if (scene.rays().blocked(light.position, direction, 0.0, std::numeric_limits<double>::infinity())) return true;
    }
    return false;
}

}  // namespace

std::vector<LightWarning> checkLights(const LitScene& scene, const LitPicture& picture) {
    std::vector<LightWarning> warnings;
    for (std::size_t l = 0; l < scene.lights().size(); ++l) {
        const PhysicalLight& light = scene.lights()[l];
        if (light.kind != LightKind::Directional)
            if (const int mesh = enclosingMesh(scene, light); mesh >= 0)
                warnings.push_back({l, LightProblem::InsideClosedGeometry, mesh});
        if (light.kind == LightKind::Spot && !coneMeetsSurface(scene, light))
            warnings.push_back({l, LightProblem::ConeMeetsNothing, -1});
        const double share = l < picture.brightestPerLight.size() ? picture.brightestPerLight[l] : 0.0;
        if (!(share > kVisibleShare * picture.brightest))
            warnings.push_back({l, LightProblem::LightsNothingVisible, -1});
    }
    return warnings;
}

std::string warningText(const LightWarning& warning, const std::vector<std::string>& lightNames,
                        const std::vector<std::string>& meshNames) {
    const std::string light = "light " + (warning.light < lightNames.size() ? lightNames[warning.light] : "?");
    switch (warning.problem) {
        case LightProblem::InsideClosedGeometry: {
            const std::string mesh = warning.mesh >= 0 && static_cast<std::size_t>(warning.mesh) < meshNames.size()
                                         ? " (" + meshNames[static_cast<std::size_t>(warning.mesh)] + ")"
                                         : "";
            return light + " is inside closed geometry" + mesh + ", so it lights nothing outside it";
        }
        case LightProblem::ConeMeetsNothing:
            return light + ": its cone meets no surface; aim it at the scene or widen its cone";
        case LightProblem::LightsNothingVisible:
            break;
    }
    return light + " lights no pixel of the picture above 1% of the brightest";
}

}  // namespace pelmora::preview
