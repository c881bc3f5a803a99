#include "hostsim/document/json_text.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

#include "base/utf8.h"

namespace pelmora::hostsim {

void JsonText::element(std::string_view key) {
    if (!empty_.empty()) {
        if (!empty_.back()) out_ += ',';
        empty_.back() = false;
        out_ += '\n';
        out_.append(empty_.size(), ' ');
    }
    if (!key.empty()) {
        quoted(key);
        out_ += ": ";
    }
}

void JsonText::quoted(std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    out_ += '"';
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            const std::size_t length = base::utf8SequenceLength(text, i);
            if (length == 0) throw std::invalid_argument("a drawing text is not valid UTF-8");
            out_.append(text.substr(i, length));
            i += length;
            continue;
        }
        switch (c) {
            case '"':
                out_ += "\\\"";
                break;
            case '\\':
                out_ += "\\\\";
                break;
            case '\b':
                out_ += "\\b";
                break;
            case '\f':
                out_ += "\\f";
                break;
            case '\n':
                out_ += "\\n";
                break;
            case '\r':
                out_ += "\\r";
                break;
            case '\t':
                out_ += "\\t";
                break;
            default:
                if (byte < 0x20) {
                    out_ += "\\u00";
                    out_ += kHex[byte >> 4];
                    out_ += kHex[byte & 0xF];
                } else {
                    out_ += c;
                }
        }
        ++i;
    }
    out_ += '"';
}

void JsonText::begin(std::string_view key, char open) {
    element(key);
    out_ += open;
    empty_.push_back(true);
}

void JsonText::end(char close) {
    const bool wasEmpty = empty_.back();
    empty_.pop_back();
    if (!wasEmpty) {
        out_ += '\n';
        out_.append(empty_.size(), ' ');
    }
    out_ += close;
}

void JsonText::beginObject(std::string_view key) { begin(key, '{'); }
void JsonText::endObject() { end('}'); }
void JsonText::beginArray(std::string_view key) { begin(key, '['); }
void JsonText::endArray() { end(']'); }

void JsonText::string(std::string_view key, std::string_view text) {
    element(key);
    quoted(text);
}

void JsonText::number(std::string_view key, double value) {
    // JSON has no place for these: they would come back as null.
    if (!std::isfinite(value)) throw std::invalid_argument("a drawing value is not finite");
    element(key);
    char text[64];
    const auto printed = std::to_chars(text, text + sizeof text, value);
    std::string_view digits(text, static_cast<std::size_t>(printed.ptr - text));
    out_ += digits;
    // Written with a point, the number reads back as a double, not an integer.
    if (digits.find_first_of(".e") == std::string_view::npos) out_ += ".0";
}

void JsonText::integer(std::string_view key, long long value) {
    element(key);
    out_ += std::to_string(value);
}

void JsonText::boolean(std::string_view key, bool value) {
    element(key);
    out_ += value ? "true" : "false";
}

void JsonText::null(std::string_view key) {
    element(key);
    out_ += "null";
}

std::string JsonText::finish() {
    out_ += '\n';
    return std::move(out_);
}

}  // namespace pelmora::hostsim
