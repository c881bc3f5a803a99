#include "hostsim/code_page.h"

#include <cstdint>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include "plugin/platform/portable/file_names.h"
#endif

namespace pelmora::hostsim {
namespace {

bool validUtf8(const std::string& text) {
    std::size_t i = 0;
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    while (i < text.size()) {
        const unsigned char c = byte(i);
        std::size_t extra = 0;
        std::uint32_t code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1, code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2, code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3, code = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= text.size()) return false;  // cut short
        for (std::size_t k = 1; k <= extra; ++k) {
            if ((byte(i + k) & 0xC0) != 0x80) return false;
            code = (code << 6) | (byte(i + k) & 0x3F);
        }
        // Overlong forms, surrogates and values beyond U+10FFFF.
        if ((extra == 2 && code < 0x800) || (extra == 3 && (code < 0x10000 || code > 0x10FFFF)) ||
            (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

#if defined(_WIN32)

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

std::optional<std::string> convert(const std::string& text, int from, int to) {
    const auto middle = wide(text, static_cast<UINT>(from));
    if (!middle) return std::nullopt;
    return narrow(*middle, static_cast<UINT>(to));
}

#else

const char* iconvName(int codePage) {
    switch (codePage) {
        case kCodePageWestern:
            return "CP1252";
        case kCodePageJapanese:
            return "CP932";
        default:
            return "UTF-8";
    }
}

std::optional<std::string> convert(const std::string& text, int from, int to) {
    return platform::convertText(text, iconvName(to), iconvName(from));
}

#endif

}  // namespace

bool knownCodePage(int codePage) {
    return codePage == kCodePageWestern || codePage == kCodePageJapanese || codePage == kCodePageUtf8;
}

std::optional<std::string> fromUtf8(const std::string& utf8, int codePage) {
    if (!validUtf8(utf8) || !knownCodePage(codePage)) return std::nullopt;
    if (codePage == kCodePageUtf8) return utf8;
    if (isAscii(utf8)) return utf8;
    return convert(utf8, kCodePageUtf8, codePage);
}

std::optional<std::string> toUtf8(const std::string& bytes, int codePage) {
    if (!knownCodePage(codePage)) return std::nullopt;
    if (codePage == kCodePageUtf8) return validUtf8(bytes) ? std::optional<std::string>(bytes) : std::nullopt;
    if (isAscii(bytes)) return bytes;
    auto text = convert(bytes, codePage, kCodePageUtf8);
    if (text && !validUtf8(*text)) return std::nullopt;
    return text;
}

std::string toUtf8Replacing(const std::string& bytes, int codePage) {
    if (auto whole = toUtf8(bytes, codePage)) return *whole;
    // Decode piece by piece: a character is one byte or, for a lead byte of a
    // multi-byte code page, up to four; what none of them decodes is U+FFFD.
    std::string out;
    std::size_t i = 0;
    while (i < bytes.size()) {
        bool done = false;
        for (std::size_t width = 1; width <= 4 && i + width <= bytes.size() && !done; ++width) {
            if (auto piece = toUtf8(bytes.substr(i, width), codePage)) {
                out += *piece;
                i += width;
                done = true;
            }
        }
        if (!done) {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

}  // namespace pelmora::hostsim
