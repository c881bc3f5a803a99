#include "base/ascii_case.h"

namespace pelmora::base {
namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Windows takes either slash between components; POSIX only '/'.
#if defined(_WIN32)
constexpr std::string_view kSeparators = "/\\";
#else
constexpr std::string_view kSeparators = "/";
#endif

}  // namespace

std::string asciiLower(std::string text) {
    for (char& c : text) c = lower(c);
    return text;
}

std::string lowerExtension(std::string_view path) {
    const std::size_t slash = path.find_last_of(kSeparators);
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || name == "..") return {};
    return asciiLower(std::string(name.substr(dot)));
}

bool hasExtension(std::string_view name, std::string_view extension) {
    if (name.size() <= extension.size() + 1) return false;
    const std::size_t dot = name.size() - extension.size() - 1;
    if (name[dot] != '.') return false;
    for (std::size_t i = 0; i < extension.size(); ++i)
        if (lower(name[dot + 1 + i]) != lower(extension[i])) return false;
    return true;
}

}  // namespace pelmora::base
