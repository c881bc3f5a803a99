// Loading a drawing document: every value is checked against its expected
// type and range before it reaches the model, and the first bad one is
// reported with its JSON path. Sizes and depths from the document are never
// trusted.
#include <cmath>
#include <fstream>
#include <limits>
#include <set>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "hostsim/drawing.h"
#include "hostsim/drawing_names.h"

namespace pelmora::hostsim {
namespace {

using nlohmann::json;

// JSON nesting allowed while parsing: room for kMaxNestingDepth group levels
// plus as many levels of nested conversion geometry, with their points.
constexpr int kMaxJsonDepth = 4 * kMaxNestingDepth + 32;
// A polygon's vertex count reaches the plug-in as a 16-bit integer.
constexpr std::size_t kMaxPolygonPoints = 32767;
constexpr std::size_t kMaxRecordBytes = std::size_t{16} << 20;

std::string member(const std::string& path, const std::string& key) { return path.empty() ? key : path + "." + key; }
std::string element(const std::string& path, std::size_t index) { return path + "[" + std::to_string(index) + "]"; }

[[noreturn]] void fail(const std::string& path, const std::string& what) { throw DocumentError(path, what); }

struct Names {
    std::vector<std::string> classes;
    std::set<std::string> classSet, layerSet, symbolSet;
};

class Reader {
public:
    explicit Reader(const json& root) : root_(root) {}

    Drawing read() {
        if (!root_.is_object()) fail("", "the document must be a JSON object");
        Drawing d;
        const json* version = find(root_, "pelmoraDrawing");
        if (version == nullptr) fail("pelmoraDrawing", "required key is missing");
        d.formatVersion = static_cast<int>(integer(*version, "pelmoraDrawing", 1, 1));
        d.unitsPerInch = optNumber(root_, "", "unitsPerInch", 25.4);
        if (!(d.unitsPerInch > 0.0)) fail("unitsPerInch", "must be a positive number");
        d.hostVersion = static_cast<int>(optInteger(root_, "", "hostVersion", 13, 0, 255));
        d.codePage = static_cast<int>(optInteger(root_, "", "codePage", 1252, 1, 65535));
        d.canRun = optBool(root_, "", "canRun", true);
        d.currentItem = static_cast<int>(optInteger(root_, "", "currentItem", 2, 0, 3));
        readClasses(d);
        readSymbols(d);
        collectLayerNames();
        if (const json* view = find(root_, "view"); view != nullptr && !view->is_null()) d.view = readView(*view, "view");
        if (const json* layers = find(root_, "layers"); layers != nullptr) {
            checkArray(*layers, "layers");
            for (std::size_t i = 0; i < layers->size(); ++i) d.layers.push_back(readLayer((*layers)[i], element("layers", i)));
        }
        if (const json* active = find(root_, "activeLayer"); active != nullptr) {
            d.activeLayer = string(*active, "activeLayer");
            if (names_.layerSet.count(d.activeLayer) == 0) fail("activeLayer", "no layer is named \"" + d.activeLayer + "\"");
        } else if (!d.layers.empty()) {
            d.activeLayer = d.layers.front().name;
        }
        return d;
    }

private:
    static const json* find(const json& object, const char* key) {
        auto it = object.find(key);
        return it == object.end() ? nullptr : &*it;
    }

    static void checkObject(const json& v, const std::string& path) {
        if (!v.is_object()) fail(path, "expected an object");
    }

    static void checkArray(const json& v, const std::string& path, std::size_t limit = kMaxArrayLength) {
        if (!v.is_array()) fail(path, "expected an array");
        if (v.size() > limit) fail(path, "array of " + std::to_string(v.size()) + " entries exceeds the limit of " + std::to_string(limit));
    }

    static double number(const json& v, const std::string& path) {
        if (!v.is_number()) fail(path, "expected a number");
        double value = v.get<double>();
        if (!std::isfinite(value)) fail(path, "the number is not finite");
        return value;
    }

    static std::int64_t integer(const json& v, const std::string& path, std::int64_t low, std::int64_t high) {
        if (!v.is_number_integer()) fail(path, "expected an integer");
        if (v.is_number_unsigned() && v.get<std::uint64_t>() > static_cast<std::uint64_t>(high))
            fail(path, "out of range " + std::to_string(low) + ".." + std::to_string(high));
        std::int64_t value = v.get<std::int64_t>();
        if (value < low || value > high) fail(path, "out of range " + std::to_string(low) + ".." + std::to_string(high));
        return value;
    }

    static bool boolean(const json& v, const std::string& path) {
        if (!v.is_boolean()) fail(path, "expected true or false");
        return v.get<bool>();
    }

    static std::string string(const json& v, const std::string& path) {
        if (!v.is_string()) fail(path, "expected a string");
        return v.get<std::string>();
    }

    static double optNumber(const json& o, const std::string& path, const char* key, double fallback) {
        const json* v = find(o, key);
        return v == nullptr ? fallback : number(*v, member(path, key));
    }
    static std::int64_t optInteger(const json& o, const std::string& path, const char* key, std::int64_t fallback,
                                   std::int64_t low, std::int64_t high) {
        const json* v = find(o, key);
        return v == nullptr ? fallback : integer(*v, member(path, key), low, high);
    }
    static bool optBool(const json& o, const std::string& path, const char* key, bool fallback) {
        const json* v = find(o, key);
        return v == nullptr ? fallback : boolean(*v, member(path, key));
    }
    static std::string optString(const json& o, const std::string& path, const char* key) {
        const json* v = find(o, key);
        return v == nullptr ? std::string() : string(*v, member(path, key));
    }

    static Point3 point(const json& v, const std::string& path) {
        if (!v.is_array() || v.size() != 3) fail(path, "expected a point: an array of three numbers");
        return {number(v[0], element(path, 0)), number(v[1], element(path, 1)), number(v[2], element(path, 2))};
    }

    static std::vector<Point3> points(const json& v, const std::string& path) {
        checkArray(v, path, kMaxPolygonPoints);
        std::vector<Point3> result;
        result.reserve(v.size());
        for (std::size_t i = 0; i < v.size(); ++i) result.push_back(point(v[i], element(path, i)));
        return result;
    }

    void readClasses(Drawing& d) {
        const json* classes = find(root_, "classes");
        if (classes != nullptr) {
            checkArray(*classes, "classes");
            if (classes->empty()) fail("classes", "a drawing has at least one class");
            d.classes.clear();
            for (std::size_t i = 0; i < classes->size(); ++i) {
                std::string path = element("classes", i);
                std::string name = string((*classes)[i], path);
                if (!names_.classSet.insert(name).second) fail(path, "duplicate class \"" + name + "\"");
                d.classes.push_back(std::move(name));
            }
        } else {
            names_.classSet.insert(d.classes.begin(), d.classes.end());
        }
        names_.classes = d.classes;
    }

    void readSymbols(Drawing& d) {
        const json* symbols = find(root_, "symbols");
        if (symbols == nullptr) return;
        checkArray(*symbols, "symbols");
        for (std::size_t i = 0; i < symbols->size(); ++i) {
            std::string path = element("symbols", i);
            const json& s = (*symbols)[i];
            checkObject(s, path);
            Symbol symbol;
            const json* name = find(s, "name");
            if (name == nullptr) fail(member(path, "name"), "required key is missing");
            symbol.name = string(*name, member(path, "name"));
            if (!names_.symbolSet.insert(symbol.name).second) fail(member(path, "name"), "duplicate symbol \"" + symbol.name + "\"");
            symbol.kind = static_cast<std::int16_t>(optInteger(s, path, "kind", 1, INT16_MIN, INT16_MAX));
            d.symbols.push_back(std::move(symbol));
        }
    }

    // Layer names first: references may name a layer that comes later.
    void collectLayerNames() {
        const json* layers = find(root_, "layers");
        if (layers == nullptr) return;
        checkArray(*layers, "layers");
        for (std::size_t i = 0; i < layers->size(); ++i) {
            std::string path = element("layers", i);
            const json& l = (*layers)[i];
            checkObject(l, path);
            const json* name = find(l, "name");
            if (name == nullptr) fail(member(path, "name"), "required key is missing");
            std::string text = string(*name, member(path, "name"));
            if (!names_.layerSet.insert(text).second) fail(member(path, "name"), "duplicate layer \"" + text + "\"");
        }
    }

    View readView(const json& v, const std::string& path) {
        checkObject(v, path);
        View view;
        view.perspective = optBool(v, path, "perspective", true);
        if (const json* r = find(v, "rotation"); r != nullptr) {
            std::string rp = member(path, "rotation");
            if (!r->is_array() || r->size() != 3) fail(rp, "expected three rows of three numbers");
            for (std::size_t row = 0; row < 3; ++row) {
                Point3 p = point((*r)[row], element(rp, row));
                view.rotation[row] = {p.x, p.y, p.z};
            }
        }
        if (const json* o = find(v, "origin"); o != nullptr) view.origin = point(*o, member(path, "origin"));
        view.distance = optNumber(v, path, "distance", 0.0);
        view.focal = optNumber(v, path, "focal", 1.0);
        if (const json* b = find(v, "box"); b != nullptr) {
            std::string bp = member(path, "box");
            if (!b->is_array() || b->size() != 4) fail(bp, "expected an array of four numbers");
            for (std::size_t i = 0; i < 4; ++i) view.box[i] = number((*b)[i], element(bp, i));
        }
        return view;
    }

    Layer readLayer(const json& l, const std::string& path) {
        Layer layer;
        layer.name = string(l.at("name"), member(path, "name"));
        layer.visible = optBool(l, path, "visible", true);
        layer.elevation = optNumber(l, path, "elevation", 0.0);
        if (const json* objects = find(l, "objects"); objects != nullptr) {
            std::string op = member(path, "objects");
            checkArray(*objects, op);
            layer.objects.reserve(objects->size());
            for (std::size_t i = 0; i < objects->size(); ++i) layer.objects.push_back(readObject((*objects)[i], element(op, i), 1));
        }
        return layer;
    }

    std::string className(const json& o, const std::string& path, const std::string& fallback) const {
        const json* v = find(o, "class");
        if (v == nullptr) return fallback;
        std::string name = string(*v, member(path, "class"));
        if (names_.classSet.count(name) == 0) fail(member(path, "class"), "unknown class \"" + name + "\"");
        return name;
    }

    static std::int16_t typeCode(const json& v, const std::string& path) {
        if (v.is_string()) {
            const std::string name = v.get<std::string>();
            static const std::pair<const char*, std::int16_t> kNames[] = {
                {"group", kCodeGroup}, {"instance", kCodeInstance}, {"polygon", kCodePolygon},
                {"reference", kCodeReference}, {"light", kCodeLight}, {"end", kCodeEnd}};
            for (const auto& [text, code] : kNames)
                if (name == text) return code;
            fail(path, "unknown type name \"" + name + "\"");
        }
        if (!v.is_number()) fail(path, "expected a type code or a type name");
        return static_cast<std::int16_t>(integer(v, path, INT16_MIN, INT16_MAX));
    }

    DrawingObject readObject(const json& o, const std::string& path, int depth) {
        checkObject(o, path);
        if (depth > kMaxNestingDepth) fail(path, "groups nested deeper than " + std::to_string(kMaxNestingDepth) + " levels");
        DrawingObject obj;
        const json* type = find(o, "type");
        if (type == nullptr) fail(member(path, "type"), "required key is missing");
        obj.type = typeCode(*type, member(path, "type"));
        obj.className = className(o, path, names_.classes.front());
        obj.visible = optBool(o, path, "visible", true);
        obj.selected = optBool(o, path, "selected", false);
        obj.name = optString(o, path, "name");
        if (const json* records = find(o, "records"); records != nullptr) readRecords(*records, member(path, "records"), obj);
        if (const json* polygons = find(o, "polygons"); polygons != nullptr)
            obj.polygons = readEntries(*polygons, member(path, "polygons"), 1);
        switch (obj.type) {
        case kCodeGroup:
            if (const json* members = find(o, "members"); members != nullptr) {
                std::string mp = member(path, "members");
                checkArray(*members, mp);
                obj.members.reserve(members->size());
                for (std::size_t i = 0; i < members->size(); ++i)
                    obj.members.push_back(readObject((*members)[i], element(mp, i), depth + 1));
            }
            break;
        case kCodePolygon:
            if (const json* pts = find(o, "points"); pts != nullptr) obj.points = points(*pts, member(path, "points"));
            obj.closed = optBool(o, path, "closed", true);
            obj.vertexData = optBool(o, path, "vertexData", true);
            break;
        case kCodeInstance:
            if (const json* symbol = find(o, "symbol"); symbol != nullptr) {
                obj.symbol = string(*symbol, member(path, "symbol"));
                if (names_.symbolSet.count(obj.symbol) == 0) fail(member(path, "symbol"), "unknown symbol \"" + obj.symbol + "\"");
            }
            break;
        case kCodeReference:
            if (const json* layer = find(o, "layer"); layer != nullptr && !layer->is_null()) {
                std::string name = string(*layer, member(path, "layer"));
                if (names_.layerSet.count(name) == 0) fail(member(path, "layer"), "unknown layer \"" + name + "\"");
                obj.referredLayer = std::move(name);
            }
            break;
        case kCodeLight:
            if (const json* properties = find(o, "properties"); properties != nullptr)
                readProperties(*properties, member(path, "properties"), obj);
            break;
        default:
            break;
        }
        return obj;
    }

    static void readRecords(const json& records, const std::string& path, DrawingObject& obj) {
        checkArray(records, path);
        for (std::size_t i = 0; i < records.size(); ++i) {
            std::string rp = element(path, i);
            const json& r = records[i];
            checkObject(r, rp);
            AuxRecord record;
            if (const json* tag = find(r, "tag"); tag != nullptr) {
                // Four characters as the tag's bytes; an integer is also taken,
                // for tags whose bytes are not printable.
                if (tag->is_number()) {
                    record.tag = static_cast<std::uint32_t>(integer(*tag, member(rp, "tag"), 0, UINT32_MAX));
                } else {
                    std::string text = string(*tag, member(rp, "tag"));
                    if (text.size() != 4) fail(member(rp, "tag"), "expected a tag of exactly four characters");
                    record.tag = tagFromChars(text);
                }
            }
            if (const json* hex = find(r, "hex"); hex != nullptr) record.bytes = bytesFromHex(*hex, member(rp, "hex"));
            obj.records.push_back(std::move(record));
        }
    }

    static std::vector<std::uint8_t> bytesFromHex(const json& v, const std::string& path) {
        std::string text = string(v, path);
        if (text.size() % 2 != 0) fail(path, "expected two hexadecimal digits a byte");
        if (text.size() / 2 > kMaxRecordBytes) fail(path, "record larger than " + std::to_string(kMaxRecordBytes) + " bytes");
        auto digit = [&](char c) -> int {
            if (c >= '0' && c <= '9') return c - '0';
            if (c >= 'a' && c <= 'f') return c - 'a' + 10;
            if (c >= 'A' && c <= 'F') return c - 'A' + 10;
            fail(path, "not a hexadecimal digit: '" + std::string(1, c) + "'");
        };
        std::vector<std::uint8_t> bytes(text.size() / 2);
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<std::uint8_t>(digit(text[2 * i]) << 4 | digit(text[2 * i + 1]));
        return bytes;
    }

    static void readProperties(const json& properties, const std::string& path, DrawingObject& obj) {
        checkObject(properties, path);
        if (properties.size() > kMaxArrayLength) fail(path, "too many properties");
        for (const auto& [key, value] : properties.items()) {
            std::string pp = member(path, key);
            std::int32_t number = 0;
            std::size_t used = 0;
            try {
                long long parsed = std::stoll(key, &used, 10);
                if (used != key.size() || parsed < INT32_MIN || parsed > INT32_MAX) throw std::invalid_argument(key);
                number = static_cast<std::int32_t>(parsed);
            } catch (const std::exception&) {
                fail(pp, "a property key is a property number");
            }
            PropertyValue pv;
            if (value.is_boolean()) {
                pv.kind = PropertyValue::Kind::Bool;
                pv.boolValue = value.get<bool>();
            } else if (value.is_number_integer()) {
                pv.kind = PropertyValue::Kind::Int16;
                pv.intValue = static_cast<std::int16_t>(integer(value, pp, INT16_MIN, INT16_MAX));
            } else if (value.is_number()) {
                pv.kind = PropertyValue::Kind::Double;
                pv.doubleValue = Reader::number(value, pp);
            } else if (value.is_array()) {
                pv.kind = PropertyValue::Kind::Point;
                pv.pointValue = point(value, pp);
            } else {
                fail(pp, "expected true, false, a number or a point");
            }
            obj.properties[number] = pv;
        }
    }

    std::vector<GeometryEntry> readEntries(const json& entries, const std::string& path, int depth) const {
        checkArray(entries, path);
        std::vector<GeometryEntry> result;
        result.reserve(entries.size());
        for (std::size_t i = 0; i < entries.size(); ++i) {
            std::string ep = element(path, i);
            const json& e = entries[i];
            checkObject(e, ep);
            GeometryEntry entry;
            if (const json* members = find(e, "members"); members != nullptr) {
                if (depth > kMaxNestingDepth)
                    fail(ep, "geometry groups nested deeper than " + std::to_string(kMaxNestingDepth) + " levels");
                entry.isGroup = true;
                entry.members = readEntries(*members, member(ep, "members"), depth + 1);
            } else {
                if (const json* pts = find(e, "points"); pts != nullptr) entry.points = points(*pts, member(ep, "points"));
                entry.className = className(e, ep, std::string());
                entry.vertexData = optBool(e, ep, "vertexData", true);
                entry.closed = optBool(e, ep, "closed", true);
            }
            result.push_back(std::move(entry));
        }
        return result;
    }

    const json& root_;
    Names names_;
};

}  // namespace

Drawing parseDrawing(std::string_view jsonText) {
    if (jsonText.size() > kMaxDocumentBytes) fail("", "the document is larger than " + std::to_string(kMaxDocumentBytes) + " bytes");
    json root;
    try {
        // The parser itself does not recurse, but the model built from it
        // would: refuse absurd nesting before any of it is built.
        json::parser_callback_t limitDepth = [](int depth, json::parse_event_t, json&) {
            if (depth > kMaxJsonDepth) fail("", "nested deeper than " + std::to_string(kMaxJsonDepth) + " levels");
            return true;
        };
        root = json::parse(jsonText.begin(), jsonText.end(), limitDepth);
    } catch (const json::exception& e) {
        fail("", std::string("not a valid JSON document: ") + e.what());
    }
    Drawing drawing = Reader(root).read();
    encodeNames(drawing);
    return drawing;
}

Drawing loadDrawing(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) fail("", "cannot open the drawing document \"" + file + "\"");
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0) fail("", "cannot read the drawing document \"" + file + "\"");
    if (static_cast<std::uint64_t>(size) > kMaxDocumentBytes)
        fail("", "the drawing document \"" + file + "\" is larger than " + std::to_string(kMaxDocumentBytes) + " bytes");
    in.seekg(0, std::ios::beg);
    std::string text(static_cast<std::size_t>(size), '\0');
    if (size > 0 && !in.read(text.data(), size)) fail("", "cannot read the drawing document \"" + file + "\"");
    return parseDrawing(text);
}

}  // namespace pelmora::hostsim
