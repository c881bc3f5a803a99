// A read QMX file as indented text for people: header, then one line per
// node and per motion item, with the named payload fields.
#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>

#include "qmxread/qmx_json.h"
#include "qmxread/qmx_reader.h"
#include "qmxread/qmx_tree.h"

namespace pelmora::qmxread {

struct PrintOptions {
    bool geometry = false;  // mesh vertices and polygons
    TextDecoder text{};     // empty: displayText
};

// Texts are shown decoded, in double quotes, through escapedControls.
void printTree(std::ostream& out, const QmxFile& file, const PrintOptions& options = {});

// The same while the bytes are read, without their tree; a fault throws
// ReadError once what came before it is printed (check the bytes first, with
// outlineQmx, to print nothing of a faulty file).
void printTree(std::ostream& out, std::span<const std::uint8_t> bytes, const ReadOptions& read,
               const PrintOptions& options = {});

// UTF-8 text with its control characters (C0, DEL and C1, which some
// terminals obey) written as \u00NN, so that no byte of a file can move the
// cursor or end the line it is shown on.
std::string escapedControls(const std::string& text);

}  // namespace pelmora::qmxread
