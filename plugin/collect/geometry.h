// Turns drawing objects into polygons (through the host's temporary objects or
// read directly) and files them into the mesh of their drawing class.
#pragma once

#include "plugin/host/host_abi.h"
#include "plugin/scene_file/records.h"

namespace pelmora {

class MeshSource;
class SceneContainer;
class VertexMerger;

// Converts one object through a temporary object of the host; with `merge`
// its vertices are welded and all its polygons go to the object's own class.
void convertThroughHost(SceneContainer& scene, HostHandle object, bool merge);
// One polygon of a temporary object; to `merger` when given, else to the
// mesh of the polygon's own class.
void readPolygon(SceneContainer& scene, HostHandle polygon, VertexMerger* merger);
// A closed polygon met directly in the walk.
void readDirectPolygon(SceneContainer& scene, HostHandle polygon);
// The mesh of the object's class, created (and bound) on first use.
MeshSource& meshFor(SceneContainer& scene, HostHandle object);
// Point i (from 1) of a polygon as an output vertex: metres, (x, z + elevation, y).
Vec3f outputVertex(const SceneContainer& scene, HostHandle polygon, std::int16_t indexFromOne);

}  // namespace pelmora
