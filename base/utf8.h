// UTF-8 as the drawing documents, the QMX text and the model names hold it:
// well-formed sequences only (no overlong forms, no surrogates, nothing above
// U+10FFFF), checked without decoding.
#pragma once

#include <cstddef>
#include <string_view>

namespace pelmora::base {

// Length of the well-formed sequence starting at `at` (1 to 4), 0 when none
// starts there. `at` must lie inside `text`.
std::size_t utf8SequenceLength(std::string_view text, std::size_t at);

bool isValidUtf8(std::string_view text);

// ASCII reads the same in UTF-8 and in every code page the host takes.
bool isAscii(std::string_view text);

}  // namespace pelmora::base
