#include <iconv.h>

#include <cassert>
#include <cerrno>
#include <new>
#include <vector>

#include "platform/code_page.h"
#include "platform/code_page_convert.h"

namespace pelmora::base {
namespace {

const char* iconvName(int codePage) {
    assert(knownCodePage(codePage));
    switch (codePage) {
        case kCodePageWestern:
            return "CP1252";
        case kCodePageJapanese:
            return "CP932";
        default:
            return "UTF-8";
    }
}

}  // namespace

std::optional<std::string> convertCodePage(const std::string& text, int from, int to) {
    iconv_t descriptor = iconv_open(iconvName(to), iconvName(from));
    // No memory for the converter is not a text the code page cannot hold.
    if (descriptor == reinterpret_cast<iconv_t>(-1) && errno == ENOMEM) throw std::bad_alloc();
    if (descriptor == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::vector<char> buffer(text.size() * 4 + 16);
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* next = buffer.data();
    std::size_t outLeft = buffer.size();
    const std::size_t result = iconv(descriptor, &in, &inLeft, &next, &outLeft);
    const bool ended = result != static_cast<std::size_t>(-1) && inLeft == 0 &&
                       iconv(descriptor, nullptr, nullptr, &next, &outLeft) != static_cast<std::size_t>(-1);
    iconv_close(descriptor);
    // Refused, cut short, or a character only approximated: no text.
    if (!ended || result != 0) return std::nullopt;
    return std::string(buffer.data(), next);
}

}  // namespace pelmora::base
