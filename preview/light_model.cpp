#include "preview/light_model.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace pelmora::preview {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegree = kPi / 180.0;

// The parameter payload's own defaults, for a light written without one.
constexpr int kDefaultType = 2;
constexpr double kDefaultStoredIntensity = 0.85;
constexpr double kDefaultConeA = 0.785375;

double finiteOr(double value, double fallback) { return std::isfinite(value) ? value : fallback; }

double firstFloat(const qmxread::Motion* motion, const char* field, double fallback) {
    const auto* found = motion ? motion->field(field) : nullptr;
    return found && !found->floats.empty() ? finiteOr(found->floats[0], fallback) : fallback;
}

}  // namespace

LightReading readLightValues(int lightType, double storedIntensity, const std::array<double, 3>& colour,
                             double coneADegrees, double coneBDegrees) {
    LightReading reading;
    reading.kind = lightType == 1 ? LightKind::Directional : lightType == 3 ? LightKind::Spot : LightKind::Point;
    // A negative intensity has no light to give.
    reading.hostIntensity = std::max(0.0, finiteOr(storedIntensity, 0.0) / kHostIntensityFactor);
    for (int i = 0; i < 3; ++i) reading.colour[i] = std::max(0.0, finiteOr(colour[i], 1.0));
    if (reading.kind == LightKind::Spot) {
        // The host gives a spot's cones in degrees, whole angles, the first the inner one.
        reading.outerCone = std::clamp(finiteOr(coneBDegrees, 0.0) * kDegree, 0.001, kPi);
        reading.innerCone = std::clamp(finiteOr(coneADegrees, 0.0) * kDegree, 0.0, reading.outerCone);
    }
    return reading;
}

LightReading readLight(const qmxread::Node& node) {
    const qmxread::Motion* parameters = node.motion("motionLightParameter");
    const auto* type = parameters ? parameters->field("lightType") : nullptr;
    const int lightType = type && !type->ints.empty() ? type->ints[0] : kDefaultType;
    std::array<double, 3> colour{1.0, 1.0, 1.0};
    const qmxread::Motion* material = node.motion("motionMaterial");
    if (const auto* diffuse = material ? material->field("diffuse") : nullptr; diffuse && diffuse->floats.size() >= 3)
        for (int i = 0; i < 3; ++i) colour[i] = diffuse->floats[i];
    return readLightValues(lightType, firstFloat(parameters, "intensity", kDefaultStoredIntensity), colour,
                           firstFloat(parameters, "coneA", kDefaultConeA), firstFloat(parameters, "coneB", 0.0));
}

double physicalIntensity(const LightReading& reading, double lightScale) { return reading.hostIntensity * lightScale; }

double luminanceOf(const std::array<double, 3>& rgb) { return 0.2126 * rgb[0] + 0.7152 * rgb[1] + 0.0722 * rgb[2]; }

PhysicalLight placeLight(const std::string& name, const LightReading& reading, const Vec3d& position,
                         const Vec3d* target, double lightScale) {
    PhysicalLight light;
    light.name = name;
    light.kind = reading.kind;
    light.intensity = physicalIntensity(reading, lightScale);
    light.colour = reading.colour;
    light.position = position;
    // Without a target, or on its own target, a light shines straight down.
    if (target) {
        const Vec3d axis = *target - position;
        if (base::length(axis) > 0.0 && std::isfinite(base::length(axis))) light.direction = base::normalised(axis);
    }
    light.innerHalf = reading.innerCone / 2.0;
    light.outerHalf = reading.outerCone / 2.0;
    return light;
}

double coneFactor(const PhysicalLight& light, double cosAngle) {
    if (light.kind != LightKind::Spot) return 1.0;
    const double cosOuter = std::cos(light.outerHalf), cosInner = std::cos(light.innerHalf);
    if (cosAngle <= cosOuter) return 0.0;
    if (cosAngle >= cosInner) return 1.0;
    const double t = (cosAngle - cosOuter) / (cosInner - cosOuter);
    return t * t * (3.0 - 2.0 * t);
}

LightAtPoint lightAtPoint(const PhysicalLight& light, const Vec3d& point, const Vec3d& normal) {
    LightAtPoint at;
    double intensity = light.intensity;
    if (light.kind == LightKind::Directional) {
        at.towardLight = light.direction * -1.0;
        at.distance = std::numeric_limits<double>::infinity();
    } else {
        const Vec3d offset = light.position - point;
        at.distance = base::length(offset);
        if (!(at.distance > 0.0)) {
            at.arrival = Arrival::BehindSurface;  // a light on the surface lights it edge-on
            return at;
        }
        at.towardLight = offset * (1.0 / at.distance);
        const double cone = coneFactor(light, -base::dot(at.towardLight, light.direction));
        if (cone <= 0.0) {
            at.arrival = Arrival::OutsideCone;
            return at;
        }
        intensity *= cone / (at.distance * at.distance);
    }
    const double cosine = base::dot(normal, at.towardLight);
    if (cosine <= 0.0) {
        at.arrival = Arrival::BehindSurface;
        return at;
    }
    for (int i = 0; i < 3; ++i) at.rgb[i] = intensity * cosine * light.colour[i];
    at.illuminance = luminanceOf(at.rgb);
    return at;
}

}  // namespace pelmora::preview
