// The names of a loaded drawing in the host's code page: the document's text
// is Unicode, the host hands every name to the plug-in in its 8-bit code page.
#pragma once

#include <optional>

#include "hostsim/document/drawing.h"

namespace pelmora::hostsim {

// Converts every name of the drawing (classes, symbols, layers, objects,
// lights, the class, symbol and layer names objects refer to) from UTF-8 to
// drawing.codePage. An unknown code page, or a name it cannot hold, is a
// DocumentError at the JSON path of that name.
void encodeNames(Drawing& drawing);

// The drawing with its names back in UTF-8, for writing it as a document;
// none when every name reads the same in UTF-8 (ASCII, or a UTF-8 host).
std::optional<Drawing> decodedNames(const Drawing& drawing);

}  // namespace pelmora::hostsim
