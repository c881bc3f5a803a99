#include <windows.h>

#include "platform/code_page.h"
#include "platform/code_page_convert.h"
#include "platform/windows/wide_text.h"

namespace pelmora::base {
std::optional<std::string> convertCodePage(const std::string& text, int from, int to) {
    const auto middle = tool::system::wideFrom(text, static_cast<UINT>(from), MB_ERR_INVALID_CHARS);
    if (!middle) return std::nullopt;
    if (middle->empty()) return std::string();
    auto out = tool::system::narrowFrom(middle->data(), static_cast<int>(middle->size()), static_cast<UINT>(to));
    // A round trip that does not give the same characters means the code page lacks one of them.
    if (out && to != CP_UTF8 && tool::system::wideFrom(*out, static_cast<UINT>(to), MB_ERR_INVALID_CHARS) != *middle)
        return std::nullopt;
    return out;
}

}  // namespace pelmora::base
