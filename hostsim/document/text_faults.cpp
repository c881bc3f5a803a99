#include "hostsim/document/text_faults.h"

#include <vector>

namespace pelmora::hostsim {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string atByte(std::size_t offset) { return " (at byte " + std::to_string(offset) + ")"; }

bool startsWith(std::string_view text, std::string_view bytes) { return text.substr(0, bytes.size()) == bytes; }

std::string otherEncoding(const char* name, const char* iconvName, bool withMark) {
    return std::string("the document is ") + name + " text" + (withMark ? " with a byte order mark" : "") + atByte(0) +
           "; a drawing document is UTF-8: convert it, for example with iconv -f " + iconvName + " -t UTF-8";
}

// The position after the string that opens at `at`, or npos when the text ends inside it.
std::size_t afterString(std::string_view text, std::size_t at) {
    for (std::size_t i = at + 1; i < text.size(); ++i) {
        if (text[i] == '\\') ++i;
        else if (text[i] == '"') return i + 1;
    }
    return std::string_view::npos;
}

std::string endsInside(std::string_view what, std::size_t begin, std::size_t end) {
    return "the document ends in the middle of " + std::string(what) + " that begins at byte " + std::to_string(begin) +
           atByte(end) + "; the file may have been cut short";
}

}  // namespace

std::string encodingFault(std::string_view text) {
    using namespace std::string_view_literals;
    if (startsWith(text, "\xEF\xBB\xBF"sv))
        return "the document begins with a UTF-8 byte order mark, the bytes EF BB BF" + atByte(0) +
               ", which JSON does not allow: save it as UTF-8 without a byte order mark";
    if (startsWith(text, "\x00\x00\xFE\xFF"sv)) return otherEncoding("UTF-32 (big-endian)", "UTF-32BE", true);
    if (startsWith(text, "\xFF\xFE\x00\x00"sv)) return otherEncoding("UTF-32 (little-endian)", "UTF-32LE", true);
    if (startsWith(text, "\xFE\xFF"sv)) return otherEncoding("UTF-16 (big-endian)", "UTF-16BE", true);
    if (startsWith(text, "\xFF\xFE"sv)) return otherEncoding("UTF-16 (little-endian)", "UTF-16LE", true);
    // Without a mark: a JSON text begins with an ASCII character, so the
    // places of its zero bytes tell the encoding.
    if (text.size() >= 4 && text.substr(0, 3) == "\0\0\0"sv && text[3] != '\0')
        return otherEncoding("UTF-32 (big-endian)", "UTF-32BE", false);
    if (text.size() >= 4 && text[0] != '\0' && text.substr(1, 3) == "\0\0\0"sv)
        return otherEncoding("UTF-32 (little-endian)", "UTF-32LE", false);
    if (text.size() >= 2 && text[0] == '\0' && text[1] != '\0')
        return otherEncoding("UTF-16 (big-endian)", "UTF-16BE", false);
    if (text.size() >= 2 && text[0] != '\0' && text[1] == '\0')
        return otherEncoding("UTF-16 (little-endian)", "UTF-16LE", false);
    return {};
}

std::string structureFault(std::string_view text, std::size_t maxDepth) {
    std::vector<std::size_t> open;  // where each container still open begins
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '"') {
            const std::size_t after = afterString(text, i);
            if (after == std::string_view::npos) return endsInside("the text", i, text.size());
            i = after;
            continue;
        }
        if (c == '{' || c == '[') {
            if (open.size() == maxDepth) return {};
            open.push_back(i);
        } else if (c == '}' || c == ']') {
            const char opener = c == '}' ? '{' : '[';
            if (open.empty() || text[open.back()] != opener) return {};  // another fault
            open.pop_back();
            if (open.empty()) {
                std::size_t rest = i + 1;
                while (rest < text.size() && isBlank(text[rest])) ++rest;
                if (rest == text.size()) return {};
                return "more text after the end of the document" + atByte(rest);
            }
        } else if (open.empty() && !isBlank(c)) {
            return {};  // a document that is no object or array
        }
        ++i;
    }
    if (open.empty()) return {};
    return endsInside(text[open.back()] == '{' ? "the object" : "the array", open.back(), text.size());
}

}  // namespace pelmora::hostsim
