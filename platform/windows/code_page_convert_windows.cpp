#include <windows.h>

#include "platform/code_page.h"
#include "platform/code_page_convert.h"

namespace pelmora::base {
namespace {

std::optional<std::wstring> wide(const std::string& text, UINT codePage) {
    if (text.empty()) return std::wstring();
    const int length =
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) return std::nullopt;
    std::wstring out(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), out.data(), length);
    return out;
}

std::optional<std::string> narrow(const std::wstring& text, UINT codePage) {
    if (text.empty()) return std::string();
    BOOL defaulted = FALSE;
    // No best fit: a character the code page lacks is refused, not replaced by a look-alike.
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL* usedDefault = codePage == CP_UTF8 ? nullptr : &defaulted;
    const int length = WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, usedDefault);
    if (length <= 0 || defaulted) return std::nullopt;
    std::string out(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()), out.data(), length, nullptr,
                        nullptr);
    // A round trip that does not give the same characters means the code page lacks one of them.
    if (codePage != CP_UTF8) {
        const auto back = wide(out, codePage);
        if (!back || *back != text) return std::nullopt;
    }
    return out;
}

}  // namespace

std::optional<std::string> convertCodePage(const std::string& text, int from, int to) {
    const auto middle = wide(text, static_cast<UINT>(from));
    if (!middle) return std::nullopt;
    return narrow(*middle, static_cast<UINT>(to));
}

}  // namespace pelmora::base
