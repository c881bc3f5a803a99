// The write-back of an export as a patch: the records an export changed are
// spliced into the drawing document's own text, and every other byte (keys
// this format does not use, key order, spacing, numbers as written) is kept.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "hostsim/document/drawing.h"

namespace pelmora::hostsim {

struct RecordsPatch {
    std::optional<std::string> text;  // the patched document; none when it could not be made
    std::string why;                  // when none: what did not match, with its JSON path
    int changedObjects = 0;
};

// `asRead` is the drawing the export loaded and `changed` the same drawing
// with the records the export left (same objects, in the same places).
// `text` is the document as it is now, which may have been edited since:
// each changed object must still be there, of the same type and name, with
// the records the export read; then its records are made those of `changed`.
// Throws DocumentError when `text` is no longer a valid drawing document.
RecordsPatch patchRecords(std::string_view text, const Drawing& asRead, const Drawing& changed);

}  // namespace pelmora::hostsim
