// Reading single JSON values of a drawing document with the parser's
// on-demand interface: each value is checked against the type the drawing
// expects before it is taken, a failure names the JSON path of the value, and
// values the drawing does not use are still read through, so that a document
// that is not valid JSON is refused wherever the fault lies.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <simdjson.h>

#include "hostsim/document/drawing.h"

namespace pelmora::hostsim::json {

namespace ondemand = simdjson::ondemand;

// JSON nesting allowed: room for kMaxNestingDepth group levels plus as many
// levels of nested conversion geometry, with their points.
inline constexpr int kMaxJsonDepth = 4 * kMaxNestingDepth + 32;

// Where a value sits, as a chain of frames on the reader's stack: nothing is
// built until a failure needs the text ("layers[0].objects[3].points[2]").
struct Path {
    const Path* parent = nullptr;
    std::string_view key;  // member name; unused for an element
    std::size_t index = 0;
    bool isElement = false;
    int depth = 0;  // containers around the value: the document itself 0, its members 1

    Path member(std::string_view name) const { return Path{this, name, 0, false, depth + 1}; }
    Path element(std::size_t i) const { return Path{this, {}, i, true, depth + 1}; }
    std::string text() const;
};

[[noreturn]] void fail(const Path& path, const std::string& what);
// A text (a string value) of more than `limit` bytes at `path`.
[[noreturn]] void textTooLong(const Path& path, std::size_t limit);

// An object key as text, read from where it stands in the document: the text
// itself when it holds no escape, else decoded into `scratch`. The parser's
// own decoding writes into a string space sized for every string of the
// document once; a key looked at twice (an object read again once its type is
// known) must not use it twice. A key that is not valid JSON stops the reading.
std::string_view keyText(ondemand::raw_json_string raw, std::string& scratch);

// The first value found not to be what the drawing expects, kept while the
// reading goes on: for members whose meaning is only known once a later one
// is read (the type of an object, whether an entry is a group).
struct Pending {
    bool any = false;
    std::string path;
    std::string what;

    void note(const Path& at, std::string message) {
        if (any) return;
        any = true;
        path = at.text();
        what = std::move(message);
    }
    void raise() const {
        if (any) throw DocumentError(path, what);
    }
};

// A light property key: a decimal property number as std::stoll reads one
// (leading blanks and a sign allowed), within 32 bits.
bool propertyNumber(std::string_view key, std::int32_t& number);

// The checked readers of one document. Every one stops on a parser error:
// JSON that is not valid is a DocumentError for the document as a whole (its
// message gives the byte offset and where the reading was), a parser without
// memory a std::bad_alloc.
enum class Written;

class Values {
public:
    Values(ondemand::document& document, const char* text) : document_(document), text_(text) {}

    // The readers the drawing's bulk goes through are inline: one call per value otherwise.
    void check(simdjson::error_code error, const Path& where) const {
        if (error != simdjson::SUCCESS) [[unlikely]]
            invalid(error, where);
    }

    ondemand::json_type typeOf(ondemand::value& v, const Path& path) const {
        ondemand::json_type t{};
        check(v.type().get(t), path);
        return t;
    }

    double number(ondemand::value& v, const Path& path) const {
        double value = 0.0;
        const simdjson::error_code error = v.get_double().get(value);
        // The parser gives no infinities; the check stays for what a later one might give.
        if (error != simdjson::SUCCESS || !std::isfinite(value)) [[unlikely]]
            notANumber(v, path, error);
        return value;
    }
    std::int64_t integer(ondemand::value& v, const Path& path, std::int64_t low, std::int64_t high) const;
    bool boolean(ondemand::value& v, const Path& path) const;
    // Valid as long as the document: the parser keeps every unescaped string.
    // A text of more than `limit` bytes is refused before it is decoded.
    std::string_view string(ondemand::value& v, const Path& path, std::size_t limit = kMaxTextBytes) const;
    Point3 point(ondemand::value& v, const Path& path) const {
        Pending pending;
        Point3 p;
        if (!point(v, path, p, pending)) [[unlikely]]
            pending.raise();
        return p;
    }
    // As above, but a value that is not a point is noted and read through.
    bool point(ondemand::value& v, const Path& path, Point3& out, Pending& pending) const {
        ondemand::array a;
        if (v.get_array().get(a) != simdjson::SUCCESS) [[unlikely]]
            return notAPoint(v, path, pending);
        double xyz[3] = {0.0, 0.0, 0.0};
        std::size_t n = 0;
        std::size_t notNumber = 3;  // the first entry that is not a number, 3 for none
        for (auto item : a) {
            ondemand::value c = entry(std::move(item), path);
            if (n >= 3 || notNumber != 3) [[unlikely]] {
                ignore(c, path.element(n++));
                continue;
            }
            const simdjson::error_code error = c.get_double().get(xyz[n]);
            if (error != simdjson::SUCCESS || !std::isfinite(xyz[n])) [[unlikely]]
                notANumber(c, path.element(n), error, notNumber, n);
            ++n;
        }
        // The length decides first, as for any array of the wrong length: an
        // entry of the wrong type is only reported for three entries.
        if (n != 3) [[unlikely]] {
            pending.note(path, kNotAPoint);
            return false;
        }
        if (notNumber != 3) [[unlikely]] {
            pending.note(path.element(notNumber), "expected a number");
            return false;
        }
        out = Point3{xyz[0], xyz[1], xyz[2]};
        return true;
    }
    ondemand::array array(ondemand::value& v, const Path& path) const;
    ondemand::object object(ondemand::value& v, const Path& path) const;
    // Light property values: the JSON type decides the kind.
    PropertyValue propertyValue(ondemand::value& v, const Path& path) const;
    // A value the drawing does not use: read through, so that it is valid
    // JSON within the nesting limit, and forgotten.
    void ignore(ondemand::value& v, const Path& path) const;

    // Iteration helpers: the value of an array entry or object member.
    ondemand::value entry(simdjson::simdjson_result<ondemand::value> result, const Path& where) const {
        ondemand::value v;
        check(std::move(result).get(v), where);
        return v;
    }
    ondemand::field field(simdjson::simdjson_result<ondemand::field> result, const Path& where) const {
        ondemand::field f;
        check(std::move(result).get(f), where);
        return f;
    }
    std::string_view key(ondemand::field& f, const Path& where) const {
        std::string_view k;
        check(f.unescaped_key().get(k), where);
        return k;
    }
    // Each member of `o`, in order, handed to take(key, value, path).
    template <typename Take>
    void forEachMember(ondemand::object& o, const Path& where, Take take) const {
        for (auto item : o) {
            ondemand::field f = field(std::move(item), where);
            const std::string_view k = key(f, where);
            take(k, f.value(), where.member(k));
        }
    }
    // Each entry of `a`, in order, handed to take(value, path); an array of
    // more than `limit` entries is refused at the first entry past it.
    template <typename Take>
    void forEachEntry(ondemand::array& a, const Path& where, std::size_t limit, Take take) const {
        std::size_t i = 0;
        for (auto item : a) {
            if (i == limit)
                fail(where, "array of more than " + std::to_string(limit) + " entries exceeds the limit of " +
                                std::to_string(limit));
            const Path at = where.element(i++);
            ondemand::value e = entry(std::move(item), where);
            take(e, at);
        }
    }

    // The reading position, for giving back the text before it.
    const char* position() const;

    // The paths of the strings read that hold a NUL character: the plug-in,
    // handed C strings, sees them only up to it.
    const std::vector<std::string>& textsWithNul() const { return textsWithNul_; }

private:
    mutable std::vector<std::string> textsWithNul_;
    // How the number is written; a malformed one stops the reading.
    Written written(ondemand::value& v, const Path& path) const;
    // Its integer value, clamped to int64's maximum above it; false when it has none.
    bool integerValue(ondemand::value& v, std::int64_t& value) const;
    [[noreturn]] void invalid(simdjson::error_code error, const Path& where) const;
    [[noreturn]] void notANumber(ondemand::value& v, const Path& path, simdjson::error_code error) const;
    static constexpr const char* kNotAPoint = "expected a point: an array of three numbers";
    bool notAPoint(ondemand::value& v, const Path& path, Pending& pending) const;
    // An entry of a point that gives no number: a wrong type is noted in
    // `notNumber` and the value read through; anything else stops the reading.
    void notANumber(ondemand::value& c, const Path& at, simdjson::error_code error, std::size_t& notNumber,
                    std::size_t n) const;

    ondemand::document& document_;
    const char* text_;
};

}  // namespace pelmora::hostsim::json
