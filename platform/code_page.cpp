#include "platform/code_page.h"

#include <cassert>

#include "base/utf8.h"
#include "platform/code_page_convert.h"

namespace pelmora::base {

bool knownCodePage(int codePage) {
    return codePage == kCodePageWestern || codePage == kCodePageJapanese || codePage == kCodePageUtf8;
}

std::optional<std::string> fromUtf8(const std::string& utf8, int codePage) {
    if (!isValidUtf8(utf8) || !knownCodePage(codePage)) return std::nullopt;
    if (codePage == kCodePageUtf8 || isAscii(utf8)) return utf8;
    return convertCodePage(utf8, kCodePageUtf8, codePage);
}

std::optional<std::string> toUtf8(const std::string& bytes, int codePage) {
    if (!knownCodePage(codePage)) return std::nullopt;
    if (codePage == kCodePageUtf8) return isValidUtf8(bytes) ? std::optional<std::string>(bytes) : std::nullopt;
    if (isAscii(bytes)) return bytes;
    auto text = convertCodePage(bytes, codePage, kCodePageUtf8);
    if (text && !isValidUtf8(*text)) return std::nullopt;
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
    assert(isValidUtf8(out));
    return out;
}

}  // namespace pelmora::base
