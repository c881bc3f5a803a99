// Drawing points (host lengths, Z up) to the translations of the scene file
// (metres, Y up): (x, y, z) is written as (x, z, y).
#pragma once

#include "base/vec3.h"
#include "plugin/host/host_abi.h"
#include "plugin/host/unit_settings.h"

namespace pelmora {

// In metres, on the drawing axes.
using MetrePoint = base::Vec3d;

// Each coordinate converted on its own; `height` (metres) is added to z afterwards.
inline MetrePoint toMetrePoint(const HostPoint& p, double height = 0.0) {
    return MetrePoint{toMetres(p.x), toMetres(p.y), toMetres(p.z) + height};
}

// The three floats of a motionTranslate: x, then the height, then y.
inline void toSceneAxes(const MetrePoint& p, float out[3]) {
    out[0] = static_cast<float>(p.x);
    out[1] = static_cast<float>(p.z);
    out[2] = static_cast<float>(p.y);
}

}  // namespace pelmora
