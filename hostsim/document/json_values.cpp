#include "hostsim/document/json_values.h"

#include <cctype>
#include <cmath>
#include <limits>
#include <new>
#include <vector>

namespace pelmora::hostsim::json {
namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string Path::text() const {
    std::vector<const Path*> chain;
    for (const Path* p = this; p != nullptr && p->parent != nullptr; p = p->parent) chain.push_back(p);
    std::string result;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const Path& p = **it;
        if (p.isElement) {
            result += '[';
            result += std::to_string(p.index);
            result += ']';
        } else {
            if (!result.empty()) result += '.';
            result += p.key;
        }
    }
    return result;
}

void fail(const Path& path, const std::string& what) { throw DocumentError(path.text(), what); }

namespace {

[[noreturn]] void badKey() {
    throw DocumentError("", "not a valid JSON document: an object key is not a valid string");
}

unsigned hex4(const char*& p) {
    unsigned code = 0;
    for (int i = 0; i < 4; ++i) {
        const int d = hexDigit(*p);
        if (d < 0) badKey();
        ++p;
        code = code * 16 + static_cast<unsigned>(d);
    }
    return code;
}

void appendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

}  // namespace

namespace {

// The character a one-letter escape stands for; 0 for a letter that is none.
char simpleEscape(char letter) {
    switch (letter) {
        case '"':
        case '\\':
        case '/':
            return letter;
        case 'b':
            return '\b';
        case 'f':
            return '\f';
        case 'n':
            return '\n';
        case 'r':
            return '\r';
        case 't':
            return '\t';
        default:
            return 0;
    }
}

// A \u escape from `p` (just after the "u"), a surrogate pair taken whole:
// a high surrogate must be followed by the low one of its pair.
void appendUnicodeEscape(const char*& p, std::string& out) {
    unsigned code = hex4(p);
    if (code >= 0xDC00 && code <= 0xDFFF) badKey();
    if (code >= 0xD800 && code <= 0xDBFF) {
        if (p[0] != '\\' || p[1] != 'u') badKey();
        p += 2;
        const unsigned low = hex4(p);
        if (low < 0xDC00 || low > 0xDFFF) badKey();
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    }
    appendUtf8(out, code);
}

}  // namespace

std::string_view keyText(ondemand::raw_json_string raw, std::string& scratch) {
    // The parser has already found where every string ends and that the text is UTF-8.
    const char* const start = raw.raw();
    const char* p = start;
    while (*p != '"' && *p != '\\') {
        if (static_cast<unsigned char>(*p) < 0x20) badKey();
        ++p;
    }
    if (*p == '"') return std::string_view(start, static_cast<std::size_t>(p - start));
    scratch.assign(start, p);
    while (*p != '"') {
        const char c = *p++;
        if (static_cast<unsigned char>(c) < 0x20) badKey();
        if (c != '\\') {
            scratch += c;
        } else if (*p == 'u') {
            ++p;
            appendUnicodeEscape(p, scratch);
        } else if (const char escaped = simpleEscape(*p++); escaped != 0) {
            scratch += escaped;
        } else {
            badKey();
        }
    }
    return scratch;
}

bool propertyNumber(std::string_view key, std::int32_t& number) {
    std::size_t i = 0;
    while (i < key.size() && std::isspace(static_cast<unsigned char>(key[i])) != 0) ++i;
    bool negative = false;
    if (i < key.size() && (key[i] == '+' || key[i] == '-')) negative = key[i++] == '-';
    if (i == key.size()) return false;
    std::int64_t value = 0;
    for (; i < key.size(); ++i) {
        if (key[i] < '0' || key[i] > '9') return false;
        value = value * 10 + (key[i] - '0');
        if (value > std::int64_t{1} << 32) return false;  // far out of range already
    }
    if (negative) value = -value;
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        return false;
    number = static_cast<std::int32_t>(value);
    return true;
}

// ---------------------------------------------------------------- parser errors

const char* Values::position() const {
    const char* at = nullptr;
    if (document_.current_location().get(at) != simdjson::SUCCESS) return nullptr;
    return at;
}

void Values::invalid(simdjson::error_code error, const Path& where) const {
    if (error == simdjson::MEMALLOC) throw std::bad_alloc();
    std::string what = std::string("not a valid JSON document: ") + simdjson::error_message(error);
    if (const char* at = position(); at != nullptr) what += " (at byte " + std::to_string(at - text_) + ")";
    const std::string place = where.text();
    if (!place.empty()) what += " while reading " + place;
    throw DocumentError("", what);
}

// ---------------------------------------------------------------- scalars

// A number as JSON writes one, however large: -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?,
// blanks after it allowed (the parser's token holds them).
static bool wellFormedNumber(std::string_view token) {
    while (!token.empty() &&
           (token.back() == ' ' || token.back() == '\t' || token.back() == '\n' || token.back() == '\r'))
        token.remove_suffix(1);
    std::size_t i = !token.empty() && token[0] == '-' ? 1 : 0;
    const auto digits = [&] {
        const std::size_t from = i;
        while (i < token.size() && token[i] >= '0' && token[i] <= '9') ++i;
        return i - from;
    };
    const std::size_t first = i;
    const std::size_t whole = digits();
    if (whole == 0 || (whole > 1 && token[first] == '0')) return false;
    if (i < token.size() && token[i] == '.' && (++i, digits() == 0)) return false;
    if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
        ++i;
        if (i < token.size() && (token[i] == '+' || token[i] == '-')) ++i;
        if (digits() == 0) return false;
    }
    return i == token.size();
}

// The parser refuses a number beyond the range of a double as it refuses a malformed one.
static bool outOfRange(ondemand::value& v, simdjson::error_code error) {
    return error == simdjson::NUMBER_ERROR && wellFormedNumber(v.raw_json_token());
}

void Values::notANumber(ondemand::value& v, const Path& path, simdjson::error_code error) const {
    if (typeOf(v, path) != ondemand::json_type::number) fail(path, "expected a number");
    if (outOfRange(v, error)) fail(path, "the number is out of the range of a double (about 1.8e308)");
    check(error, path);
    fail(path, "the number is not finite");
}

// How a number is written: an integer (no point, no exponent), a number with a
// point or an exponent, or something that is no JSON number at all.
enum class Written { Integer, WithPoint, Malformed };

static Written writtenAs(std::string_view token) {
    while (!token.empty() &&
           (token.back() == ' ' || token.back() == '\t' || token.back() == '\n' || token.back() == '\r'))
        token.remove_suffix(1);
    std::size_t i = token.empty() || token[0] != '-' ? 0 : 1;
    const std::size_t digits = i;
    while (i < token.size() && token[i] >= '0' && token[i] <= '9') ++i;
    if (i == digits || (token[digits] == '0' && i - digits > 1)) return Written::Malformed;
    if (i == token.size()) return Written::Integer;
    return token[i] == '.' || token[i] == 'e' || token[i] == 'E' ? Written::WithPoint : Written::Malformed;
}

Written Values::written(ondemand::value& v, const Path& path) const {
    const Written w = writtenAs(v.raw_json_token());
    if (w != Written::Integer) {
        // Read through, so that a malformed number is reported as such.
        double ignored = 0.0;
        const simdjson::error_code error = v.get_double().get(ignored);
        if (!outOfRange(v, error)) check(error, path);
    }
    return w;
}

bool Values::integerValue(ondemand::value& v, std::int64_t& value) const {
    if (v.get_int64().get(value) == simdjson::SUCCESS) return true;
    std::uint64_t large = 0;
    if (v.get_uint64().get(large) != simdjson::SUCCESS) return false;
    // Beyond int64: only its size matters, and every limit is below it.
    value = std::numeric_limits<std::int64_t>::max();
    return true;
}

std::int64_t Values::integer(ondemand::value& v, const Path& path, std::int64_t low, std::int64_t high) const {
    if (typeOf(v, path) != ondemand::json_type::number || written(v, path) != Written::Integer)
        fail(path, "expected an integer");
    std::int64_t value = 0;
    if (!integerValue(v, value) || value < low || value > high)
        fail(path, "out of range " + std::to_string(low) + ".." + std::to_string(high));
    return value;
}

bool Values::boolean(ondemand::value& v, const Path& path) const {
    if (typeOf(v, path) != ondemand::json_type::boolean) fail(path, "expected true or false");
    bool value = false;
    check(v.get_bool().get(value), path);
    return value;
}

// An escape takes at most six characters of the document for each byte it
// gives, so a text whose quotes hold more than six times the limit is refused
// before the parser decodes it into its string space (and it is copied).
std::string_view Values::string(ondemand::value& v, const Path& path, std::size_t limit) const {
    if (typeOf(v, path) != ondemand::json_type::string) fail(path, "expected a string");
    std::string_view raw = v.raw_json_token();  // the quoted text and the spaces after it
    while (!raw.empty() && raw.back() != '"') raw.remove_suffix(1);
    if (raw.size() > 2 + 6 * limit) textTooLong(path, limit);
    std::string_view value;
    check(v.get_string().get(value), path);
    if (value.size() > limit) textTooLong(path, limit);
    if (value.find('\0') != std::string_view::npos) [[unlikely]]
        textsWithNul_.push_back(path.text());
    return value;
}

void textTooLong(const Path& path, std::size_t limit) {
    // The limit of names says why; a record's hex has a limit of its own.
    const char* why = limit == kMaxTextBytes ? " (the host hands at most 255 bytes of a name to the plug-in)" : "";
    fail(path,
         "text of more than " + std::to_string(limit) + " bytes exceeds the limit of " + std::to_string(limit) + why);
}

ondemand::array Values::array(ondemand::value& v, const Path& path) const {
    if (typeOf(v, path) != ondemand::json_type::array) fail(path, "expected an array");
    ondemand::array a;
    check(v.get_array().get(a), path);
    return a;
}

ondemand::object Values::object(ondemand::value& v, const Path& path) const {
    if (typeOf(v, path) != ondemand::json_type::object) fail(path, "expected an object");
    ondemand::object o;
    check(v.get_object().get(o), path);
    return o;
}

void Values::notANumber(ondemand::value& c, const Path& at, simdjson::error_code error, std::size_t& notNumber,
                        std::size_t n) const {
    if (typeOf(c, at) != ondemand::json_type::number) {
        notNumber = n;
        ignore(c, at);
        return;
    }
    notANumber(c, at, error);
}

bool Values::notAPoint(ondemand::value& v, const Path& path, Pending& pending) const {
    pending.note(path, kNotAPoint);
    ignore(v, path);
    return false;
}

PropertyValue Values::propertyValue(ondemand::value& v, const Path& path) const {
    PropertyValue pv;
    switch (typeOf(v, path)) {
        case ondemand::json_type::boolean:
            pv.kind = PropertyValue::Kind::Bool;
            pv.boolValue = boolean(v, path);
            return pv;
        case ondemand::json_type::number: {
            std::int64_t ignored = 0;
            // An integer too long for 64 bits reads as a number with a point would.
            if (written(v, path) == Written::Integer && integerValue(v, ignored)) {
                pv.kind = PropertyValue::Kind::Int16;
                pv.intValue = static_cast<std::int16_t>(integer(v, path, INT16_MIN, INT16_MAX));
            } else {
                pv.kind = PropertyValue::Kind::Double;
                pv.doubleValue = number(v, path);
            }
            return pv;
        }
        case ondemand::json_type::array:
            pv.kind = PropertyValue::Kind::Point;
            pv.pointValue = point(v, path);
            return pv;
        default:
            ignore(v, path);
            fail(path, "expected true, false, a number or a point");
    }
}

void Values::ignore(ondemand::value& v, const Path& path) const {
    if (path.depth > kMaxJsonDepth) {
        throw DocumentError("", "not a valid drawing document: nested deeper than " + std::to_string(kMaxJsonDepth) +
                                    " levels at " + path.text());
    }
    switch (typeOf(v, path)) {
        case ondemand::json_type::array: {
            ondemand::array a;
            check(v.get_array().get(a), path);
            std::size_t i = 0;
            for (auto item : a) {
                ondemand::value e = entry(std::move(item), path);
                ignore(e, path.element(i++));
            }
            return;
        }
        case ondemand::json_type::object: {
            ondemand::object o;
            check(v.get_object().get(o), path);
            for (auto item : o) {
                ondemand::field f = field(std::move(item), path);
                const std::string_view name = key(f, path);
                ignore(f.value(), path.member(name));
            }
            return;
        }
        case ondemand::json_type::number: {
            // Not limited where it is not used: one beyond a double's range is skipped too.
            double ignored = 0.0;
            const simdjson::error_code error = v.get_double().get(ignored);
            if (!outOfRange(v, error)) check(error, path);
            return;
        }
        case ondemand::json_type::string: {
            std::string_view ignored;
            check(v.get_string().get(ignored), path);
            return;
        }
        case ondemand::json_type::boolean: {
            bool ignored = false;
            check(v.get_bool().get(ignored), path);
            return;
        }
        case ondemand::json_type::null: {
            bool isNull = false;
            check(v.is_null().get(isNull), path);
            if (!isNull) check(simdjson::N_ATOM_ERROR, path);
            return;
        }
    }
    check(simdjson::TAPE_ERROR, path);
}

}  // namespace pelmora::hostsim::json
