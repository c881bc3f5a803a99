// Plain words for a document the JSON parser refuses as a whole: another
// encoding than UTF-8 (a byte order mark, UTF-16 or UTF-32 text), a document
// cut short, and text after the document's end, each with the byte offset
// where it shows. The parser itself reports these as a fault of structure at
// the document's first byte, which tells the user nothing.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pelmora::hostsim {

// What keeps `text` from being UTF-8, as its first bytes show; empty when
// they do not rule UTF-8 out.
std::string encodingFault(std::string_view text);

// For a text the parser refused: that it ends in the middle of a value (and
// where that value begins), or that more text follows the document; empty
// when neither is the case or containers are nested deeper than `maxDepth`
// (the parser's own report then stands). Reads the text once.
std::string structureFault(std::string_view text, std::size_t maxDepth);

}  // namespace pelmora::hostsim
