// The text of a drawing document, written straight from the drawing model:
// no tree of the whole document is built (a drawing of a million polygons
// would take a gigabyte that way). Every value is written so that loading the
// text gives an equal Drawing: numbers as the shortest text that reads back
// as the same double (with a point, so that they read back as doubles), names
// as JSON strings. Members come in the order that lets the loader read them
// in one pass: the lists of names first, an object's type first.
#include <charconv>
#include <cmath>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "hostsim/drawing.h"

namespace pelmora::hostsim {
namespace {

class JsonText {
public:
    explicit JsonText(std::string& out) : out_(out) {}

    void beginObject() { open('{'); }
    void endObject() { close('}'); }
    void beginArray() { open('['); }
    void endArray() { close(']'); }

    // The next member of the object being written.
    void key(std::string_view name) {
        next();
        string(name);
        out_ += ": ";
    }
    // The next entry of the array being written.
    void entry() { next(); }

    void string(std::string_view text) {
        checkUtf8(text);
        out_ += '"';
        for (const char c : text) {
            switch (c) {
            case '"': out_ += "\\\""; break;
            case '\\': out_ += "\\\\"; break;
            case '\n': out_ += "\\n"; break;
            case '\r': out_ += "\\r"; break;
            case '\t': out_ += "\\t"; break;
            case '\b': out_ += "\\b"; break;
            case '\f': out_ += "\\f"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    static const char kDigits[] = "0123456789abcdef";
                    out_ += "\\u00";
                    out_ += kDigits[(c >> 4) & 0xF];
                    out_ += kDigits[c & 0xF];
                } else {
                    out_ += c;
                }
            }
        }
        out_ += '"';
    }

    void number(double value) {
        // JSON has no place for these: they would come back as something else.
        if (!std::isfinite(value)) throw std::invalid_argument("a drawing value is not finite");
        char text[32];
        const auto [end, error] = std::to_chars(text, text + sizeof text, value);
        (void)error;  // 32 characters hold any double
        const std::string_view written(text, static_cast<std::size_t>(end - text));
        out_ += written;
        // Read back as a double, not an integer (light properties tell them apart).
        if (written.find_first_of(".e") == std::string_view::npos) out_ += ".0";
    }

    void integer(long long value) {
        char text[24];
        const auto [end, error] = std::to_chars(text, text + sizeof text, value);
        (void)error;
        out_.append(text, static_cast<std::size_t>(end - text));
    }

    void boolean(bool value) { out_ += value ? "true" : "false"; }
    void null() { out_ += "null"; }

    // What is written between these two stays on one line: polygons of a
    // million points would otherwise take more room in indentation than in numbers.
    void beginOneLine() { ++oneLine_; }
    void endOneLine() { --oneLine_; }

    // A point on one line: [x, y, z].
    void point(const Point3& p) {
        out_ += '[';
        number(p.x);
        out_ += ", ";
        number(p.y);
        out_ += ", ";
        number(p.z);
        out_ += ']';
    }

private:
    void open(char bracket) {
        out_ += bracket;
        first_.push_back(true);
    }
    void close(char bracket) {
        const bool empty = first_.back();
        first_.pop_back();
        if (!empty && oneLine_ == 0) newline();
        out_ += bracket;
    }
    void next() {
        const bool firstOne = first_.back();
        first_.back() = false;
        if (!firstOne) out_ += oneLine_ > 0 ? ", " : ",";
        if (oneLine_ == 0) newline();
    }
    void newline() {
        out_ += '\n';
        out_.append(first_.size(), ' ');
    }

    // The loader takes only UTF-8; a name that is not would make a document it refuses.
    static void checkUtf8(std::string_view text) {
        std::size_t i = 0;
        while (i < text.size()) {
            const auto c = static_cast<unsigned char>(text[i]);
            std::size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
            if (length == 0 || i + length > text.size()) throw std::invalid_argument("a drawing name is not valid UTF-8");
            unsigned code = length == 1 ? c : c & (0x7F >> length);
            for (std::size_t k = 1; k < length; ++k) {
                const auto d = static_cast<unsigned char>(text[i + k]);
                if ((d >> 6) != 0x2) throw std::invalid_argument("a drawing name is not valid UTF-8");
                code = code << 6 | (d & 0x3F);
            }
            static const unsigned kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
            if (code < kLeast[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
                throw std::invalid_argument("a drawing name is not valid UTF-8");
            i += length;
        }
    }

    std::string& out_;
    std::vector<bool> first_;  // per open object or array: nothing written in it yet
    int oneLine_ = 0;
};

const char* typeName(std::int16_t type) {
    switch (type) {
    case kCodeGroup: return "group";
    case kCodeInstance: return "instance";
    case kCodePolygon: return "polygon";
    case kCodeReference: return "reference";
    case kCodeLight: return "light";
    case kCodeEnd: return "end";
    default: return nullptr;
    }
}

bool printableTag(std::uint32_t tag) {
    for (char c : charsFromTag(tag))
        if (c < 0x20 || c > 0x7E) return false;
    return true;
}

std::string hexOf(const std::vector<std::uint8_t>& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        text.push_back(kDigits[b >> 4]);
        text.push_back(kDigits[b & 0xF]);
    }
    return text;
}

void writePoints(JsonText& j, const std::vector<Point3>& points) {
    j.beginOneLine();
    j.beginArray();
    for (const Point3& p : points) {
        j.entry();
        j.point(p);
    }
    j.endArray();
    j.endOneLine();
}

void writeEntries(JsonText& j, const std::vector<GeometryEntry>& entries) {
    j.beginArray();
    for (const GeometryEntry& e : entries) {
        j.entry();
        // A polygon entry on a line of its own.
        if (!e.isGroup) j.beginOneLine();
        j.beginObject();
        if (e.isGroup) {
            j.key("members");
            writeEntries(j, e.members);
        } else {
            if (!e.className.empty()) {
                j.key("class");
                j.string(e.className);
            }
            if (!e.vertexData) {
                j.key("vertexData");
                j.boolean(false);
            }
            if (!e.closed) {
                j.key("closed");
                j.boolean(false);
            }
            j.key("points");
            writePoints(j, e.points);
        }
        j.endObject();
        if (!e.isGroup) j.endOneLine();
    }
    j.endArray();
}

void writeProperty(JsonText& j, const PropertyValue& v) {
    switch (v.kind) {
    case PropertyValue::Kind::Bool: j.boolean(v.boolValue); return;
    case PropertyValue::Kind::Int16: j.integer(v.intValue); return;
    case PropertyValue::Kind::Double: j.number(v.doubleValue); return;
    case PropertyValue::Kind::Point: j.point(v.pointValue); return;
    }
}

void writeObject(JsonText& j, const DrawingObject& o) {
    j.beginObject();
    // The type first: it decides how the loader reads the rest.
    j.key("type");
    if (const char* name = typeName(o.type)) j.string(name);
    else j.integer(o.type);
    j.key("class");
    j.string(o.className);
    if (!o.visible) {
        j.key("visible");
        j.boolean(false);
    }
    if (o.selected) {
        j.key("selected");
        j.boolean(true);
    }
    if (!o.name.empty()) {
        j.key("name");
        j.string(o.name);
    }
    if (!o.records.empty()) {
        j.key("records");
        j.beginArray();
        for (const AuxRecord& r : o.records) {
            j.entry();
            j.beginObject();
            j.key("tag");
            if (printableTag(r.tag)) j.string(charsFromTag(r.tag));
            else j.integer(r.tag);
            j.key("hex");
            j.string(hexOf(r.bytes));
            j.endObject();
        }
        j.endArray();
    }
    switch (o.type) {
    case kCodeGroup:
        j.key("members");
        j.beginArray();
        for (const DrawingObject& m : o.members) {
            j.entry();
            writeObject(j, m);
        }
        j.endArray();
        break;
    case kCodePolygon:
        if (!o.closed) {
            j.key("closed");
            j.boolean(false);
        }
        if (!o.vertexData) {
            j.key("vertexData");
            j.boolean(false);
        }
        j.key("points");
        writePoints(j, o.points);
        break;
    case kCodeInstance:
        if (!o.symbol.empty()) {
            j.key("symbol");
            j.string(o.symbol);
        }
        break;
    case kCodeReference:
        if (o.referredLayer) {
            j.key("layer");
            j.string(*o.referredLayer);
        }
        break;
    case kCodeLight:
        j.key("properties");
        j.beginObject();
        for (const auto& [number, value] : o.properties) {
            j.key(std::to_string(number));
            writeProperty(j, value);
        }
        j.endObject();
        break;
    default:
        break;
    }
    if (o.polygons) {
        j.key("polygons");
        writeEntries(j, *o.polygons);
    }
    j.endObject();
}

void writeView(JsonText& j, const View& v) {
    j.beginObject();
    j.key("perspective");
    j.boolean(v.perspective);
    j.key("rotation");
    j.beginArray();
    for (const auto& row : v.rotation) {
        j.entry();
        j.point(Point3{row[0], row[1], row[2]});
    }
    j.endArray();
    j.key("origin");
    j.point(v.origin);
    j.key("distance");
    j.number(v.distance);
    j.key("focal");
    j.number(v.focal);
    j.key("box");
    j.beginArray();
    for (double b : v.box) {
        j.entry();
        j.number(b);
    }
    j.endArray();
    j.endObject();
}

}  // namespace

std::string serializeDrawing(const Drawing& d) {
    std::string out;
    JsonText j(out);
    j.beginObject();
    j.key("pelmoraDrawing");
    j.integer(d.formatVersion);
    j.key("unitsPerInch");
    j.number(d.unitsPerInch);
    j.key("hostVersion");
    j.integer(d.hostVersion);
    j.key("canRun");
    j.boolean(d.canRun);
    j.key("currentItem");
    j.integer(d.currentItem);
    // The lists of names before what refers to them.
    j.key("classes");
    j.beginArray();
    for (const std::string& c : d.classes) {
        j.entry();
        j.string(c);
    }
    j.endArray();
    j.key("symbols");
    j.beginArray();
    for (const Symbol& s : d.symbols) {
        j.entry();
        j.beginObject();
        j.key("name");
        j.string(s.name);
        j.key("kind");
        j.integer(s.kind);
        j.endObject();
    }
    j.endArray();
    j.key("view");
    if (d.view) writeView(j, *d.view);
    else j.null();
    if (!d.activeLayer.empty()) {
        j.key("activeLayer");
        j.string(d.activeLayer);
    }
    j.key("layers");
    j.beginArray();
    for (const Layer& l : d.layers) {
        j.entry();
        j.beginObject();
        j.key("name");
        j.string(l.name);
        j.key("visible");
        j.boolean(l.visible);
        j.key("elevation");
        j.number(l.elevation);
        j.key("objects");
        j.beginArray();
        for (const DrawingObject& o : l.objects) {
            j.entry();
            writeObject(j, o);
        }
        j.endArray();
        j.endObject();
    }
    j.endArray();
    j.endObject();
    out += '\n';
    return out;
}

}  // namespace pelmora::hostsim
