// A mesh's points stored once per distinct value: model files (OBJ above all)
// give each face corner a point of its own, and the drawing would hold each
// of them. Same bits, same point: every corner keeps the value it had.
#pragma once

#include "tool/import/model_handoff.h"

namespace pelmora::tool {

// Rewrites `mesh.indices` to name one point per distinct x/y/z bit pattern,
// in the order the corners first use them; points no corner uses are dropped.
// Every index must be below the point count.
void sharePoints(HandoffMesh& mesh);

}  // namespace pelmora::tool
