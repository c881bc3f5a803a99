// Writes a scene description as one QMX file: the header of keyed values, then
// the node tree, each node with its motion items and then its children.
#pragma once

#include <memory>

#include "scene_file/output_stream.h"
#include "scene_file/scene_description.h"

namespace pelmora {

class SceneWriter {
public:
    bool checksums = true;  // byte-sum before every payload (current layout only)
    bool legacy = false;    // legacy layout, version "1.25.2002"
    bool binary = true;     // BINARY encoding, else ASCII

    // Result code: 1 success, 0 failure, 4 out of memory, or what a tree source
    // passed up. An empty path or a null scene gives 0 and touches nothing.
    int write(const char* path, SceneDescription* scene);

private:
    std::unique_ptr<OutputStream> stream_;
    SceneDescription* scene_ = nullptr;
    // (the implementation adds one private method per element written)
};

}  // namespace pelmora
