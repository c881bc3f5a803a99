// The angles of a Collada file's cameras as the file gives them. The model
// importer keeps one horizontal angle per camera, which it cannot make from
// some of the combinations Collada allows (a vertical angle alone, for one),
// so the file's own values are read once more, streaming, for the cameras.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace pelmora::tool {

struct ColladaOptics {
    std::optional<double> xfov, yfov;  // whole angles, degrees
    std::optional<double> aspect;      // width / height
};

// The optics of each camera by the node that places it, named as the model
// importer names nodes (the id, else the sid). Empty when the file cannot be
// read as XML.
std::map<std::string, ColladaOptics> colladaCameraOptics(const std::string& path);

}  // namespace pelmora::tool
