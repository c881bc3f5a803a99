// What a user wants said before the slow render: a light shut inside closed
// geometry (inside one mesh's closed volume), a spot whose cone meets no
// surface, a light that lights nothing the camera sees.
#pragma once

#include <string>
#include <vector>

#include "preview/lit/lit_render.h"

namespace pelmora::preview {

enum class LightProblem { InsideClosedGeometry, ConeMeetsNothing, LightsNothingVisible };

struct LightWarning {
    std::size_t light = 0;  // into LitScene::lights()
    LightProblem problem = LightProblem::LightsNothingVisible;
    int mesh = -1;  // inside closed geometry: the mesh most of its rays meet
};

// How many rays test each light for the first two problems.
inline constexpr int kCheckRays = 256;
// A light lights a visible pixel when it gives one more than this part of
// the brightest pixel's illuminance.
inline constexpr double kVisibleShare = 0.01;

std::vector<LightWarning> checkLights(const LitScene& scene, const LitPicture& picture);

// One sentence per warning; `lightNames` and `meshNames` as shown.
std::string warningText(const LightWarning& warning, const std::vector<std::string>& lightNames,
                        const std::vector<std::string>& meshNames);

}  // namespace pelmora::preview
