// The entries of every array of a document counted in one pass over its text,
// before the JSON parser indexes it (the index takes about 4 bytes for each
// bracket, comma, colon and text: more than the document itself): an array of
// more entries than the limit is refused at its JSON path while the document
// is all that is held.
#pragma once

#include <cstddef>
#include <string_view>

namespace pelmora::hostsim {

// Throws DocumentError at the path of the first array (in document order) with
// more than `limit` entries. Malformed JSON or nesting deeper than
// `maxDepth` ends the count without a word: the parser reports those.
void checkArrayLengths(std::string_view text, std::size_t limit, std::size_t maxDepth);

}  // namespace pelmora::hostsim
