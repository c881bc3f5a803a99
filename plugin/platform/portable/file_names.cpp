#include "plugin/platform/portable/file_names.h"

#include <iconv.h>

#include <cerrno>
#include <new>

#include <vector>

#include "plugin/platform/portable_hooks.h"

namespace pelmora::platform {
namespace {

bool ascii(const std::string& text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// The code page the runner gave, when names must be converted at all.
const char* hostCodePage() {
    switch (portableHooks().fileNameCodePage) {
        case 1252:
            return "CP1252";
        case 932:
            return "CP932";
        default:
            return nullptr;  // none given, or UTF-8 itself
    }
}

}  // namespace

std::optional<std::string> hostFileName(const std::string& fileSystemName) {
    const char* codePage = hostCodePage();
    if (codePage == nullptr || ascii(fileSystemName)) return fileSystemName;
    return convertText(fileSystemName, codePage, "UTF-8");
}

std::string fileSystemPath(const std::string& path) {
    const char* codePage = hostCodePage();
    const std::size_t slash = path.find_last_of('/');
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    const std::string name = path.substr(start);
    if (codePage == nullptr || ascii(name)) return path;
    const std::optional<std::string> converted = convertText(name, "UTF-8", codePage);
    return converted ? path.substr(0, start) + *converted : path;
}

std::optional<std::string> convertText(const std::string& text, const char* to, const char* from) {
    iconv_t descriptor = iconv_open(to, from);
    // No memory for the converter is not a name the code page cannot hold.
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

bool hasExtension(const std::string& name, const std::string& extension) {
    if (name.size() <= extension.size() + 1) return false;
    const std::size_t dot = name.size() - extension.size() - 1;
    if (name[dot] != '.') return false;
    for (std::size_t i = 0; i < extension.size(); ++i) {
        char a = name[dot + 1 + i], b = extension[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

}  // namespace pelmora::platform
