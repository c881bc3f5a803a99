// A QMX file's JSON (as toJson gives it, dumped with an indent of two) written
// while the file is read, without a tree of the file or of the JSON: what is
// held is the file's bytes and one branch of nodes.
#pragma once

#include <cstdint>
#include <ostream>
#include <span>

#include "qmxread/qmx_json.h"
#include "qmxread/qmx_outline.h"
#include "qmxread/qmx_reader.h"

namespace pelmora::qmxread {

// `outline`: outlineQmx of the same bytes and options, which has checked them
// (reading them again cannot fail). Ends with a line end.
void writeJsonText(std::ostream& out, std::span<const std::uint8_t> bytes, const QmxOutline& outline,
                   const ReadOptions& read, const JsonOptions& options);

}  // namespace pelmora::qmxread
