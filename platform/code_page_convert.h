// The platform's conversion between two known code pages (one unit per
// platform); used by code_page.cpp only.
#pragma once

#include <optional>
#include <string>

namespace pelmora::base {

// `text` from code page `from` into code page `to`; none when it is not a
// valid sequence of `from` or `to` has no bytes of its own for a character.
std::optional<std::string> convertCodePage(const std::string& text, int from, int to);

}  // namespace pelmora::base
