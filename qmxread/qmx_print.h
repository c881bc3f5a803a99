// A read QMX file as indented text for people: header, then one line per
// node and per motion item, with the named payload fields.
#pragma once

#include <ostream>

#include "qmxread/qmx_json.h"
#include "qmxread/qmx_tree.h"

namespace pelmora::qmxread {

struct PrintOptions {
    bool geometry = false;  // mesh vertices and polygons
    TextDecoder text{};     // empty: displayText
};

// Texts are shown decoded, in double quotes, with control characters written
// as \u00NN so that no byte of the file can move the cursor or end the line.
void printTree(std::ostream& out, const QmxFile& file, const PrintOptions& options = {});

}  // namespace pelmora::qmxread
