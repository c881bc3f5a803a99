// The one reading of a scene file's lights in physical units, shared by the
// lit preview and by the glTF lights `convert` writes (docs/light-model.md):
// the host's unitless intensity becomes candela (point, spot) or lux
// (directional) through one assumed scale, the colour stays the light's
// chromaticity, and a spot's two cone angles bound a smooth edge.
#pragma once

#include <array>
#include <string>

#include "base/vec3.h"
#include "qmxread/qmx_tree.h"

namespace pelmora::preview {

using base::Vec3d;

enum class LightKind { Directional, Point, Spot };

// The plug-in writes a light's intensity as the host's value times this
// (the double 1.3333333, not 4/3).
inline constexpr double kHostIntensityFactor = 1.3333333;

// The assumption: a host intensity of 1 is a lamp of this many candela (a
// directional light: this many lux). `--light-scale` replaces it.
inline constexpr double kDefaultLightScale = 1000.0;

// A light's values as the scene file gives them, read once.
struct LightReading {
    LightKind kind = LightKind::Point;
    double hostIntensity = 1.0;                   // the value the user typed in the host
    std::array<double, 3> colour{1.0, 1.0, 1.0};  // linear RGB, as given
    double innerCone = 0.0, outerCone = 0.0;      // whole angles, radians; spots only
};

// From the raw values of the light parameters and the light's colour: the
// type code (1 directional, 3 spot, anything else a point light), the stored
// intensity (the host's value times 1.3333333) and the cone angles in degrees.
LightReading readLightValues(int lightType, double storedIntensity, const std::array<double, 3>& colour,
                             double coneADegrees, double coneBDegrees);

// The same from a light node's `motionLightParameter` and `motionMaterial`;
// a missing value takes the parameter payload's default.
LightReading readLight(const qmxread::Node& node);

// Candela (point, spot) or lux (directional).
double physicalIntensity(const LightReading& reading, double lightScale);

// The luminance weight of a linear RGB colour (Rec. 709): a white light's
// illuminance is its intensity's, a coloured one's is weighted by this.
double luminanceOf(const std::array<double, 3>& rgb);

// A light placed in the scene, in physical units.
struct PhysicalLight {
    std::string name;
    LightKind kind = LightKind::Point;
    double intensity = 0.0;  // cd or lx, times the colour's luminance gives the illuminance
    std::array<double, 3> colour{1.0, 1.0, 1.0};
    Vec3d position;
    Vec3d direction{0.0, -1.0, 0.0};          // unit; where a spot or directional light shines
    double innerHalf = 0.0, outerHalf = 0.0;  // angles from the axis, radians; spots only
};

PhysicalLight placeLight(const std::string& name, const LightReading& reading, const Vec3d& position,
                         const Vec3d* target, double lightScale);

// How much of a spot's intensity leaves along a direction making `cosAngle`
// with its axis: 1 inside the inner cone, 0 beyond the outer one, a smoothstep
// of the cosine between. Other lights: 1.
double coneFactor(const PhysicalLight& light, double cosAngle);

enum class Arrival { Reaches, OutsideCone, BehindSurface };

// What a light gives a point with unit normal `normal` before anything in
// between is considered: the illuminance (lux, colour's luminance included)
// and the RGB irradiance weights, the unit vector and the distance towards
// the light (infinite for a directional one).
struct LightAtPoint {
    Arrival arrival = Arrival::Reaches;
    double illuminance = 0.0;
    std::array<double, 3> rgb{};  // illuminance per colour channel
    Vec3d towardLight;
    double distance = 0.0;
};

LightAtPoint lightAtPoint(const PhysicalLight& light, const Vec3d& point, const Vec3d& normal);

}  // namespace pelmora::preview
