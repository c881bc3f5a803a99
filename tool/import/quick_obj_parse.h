// A quick reader of the plain OBJ files many exports are (vertices, faces,
// objects, groups and material names, nothing else): it reads the file in
// blocks and gives the objects and their faces as the general importer would
// group them, or gives up (nullopt) on anything it does not read exactly as
// that importer does, so that the caller falls back to it. Positions are read
// with the importer's own number parser, so the values are the same bits.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pelmora::tool {

// Faces in the order of the file: corner counts and 0-based position indices.
struct ObjMesh {
    std::string name;
    std::string material;  // empty: the importer's default material
    std::vector<std::uint32_t> counts;
    std::vector<std::uint32_t> corners;
};

struct ObjObject {
    std::string name;
    std::vector<ObjMesh> meshes;
};

struct ObjModel {
    std::vector<float> positions;  // x, y, z of each `v`
    std::vector<ObjObject> objects;
};

// Told the fraction of the file read so far; false stops the read with a
// ModelImportError.
using ObjProgress = std::function<bool(double)>;

// The file's model, or nullopt when the file cannot be read or uses anything
// this reader does not take (and so must go to the general importer). Throws
// ModelImportError when the read is stopped.
std::optional<ObjModel> parseSimpleObj(const std::string& path, const ObjProgress& progress);

}  // namespace pelmora::tool
