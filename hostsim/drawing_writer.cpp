// Writing a drawing document: every value the model holds is written so that
// loading the text gives an equal Drawing; the file is replaced atomically.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "hostsim/drawing.h"
#include "hostsim/drawing_names.h"
#include "platform/files.h"

namespace pelmora::hostsim {
namespace {

using nlohmann::json;

// Windows has no exec to keep the descriptor from, but a text mode to avoid.
#if defined(_WIN32)
constexpr int kOpenFlags = O_BINARY;
#else
constexpr int kOpenFlags = O_CLOEXEC;
#endif

double finite(double value) {
    // JSON has no place for these: they would come back as null.
    if (!std::isfinite(value)) throw std::invalid_argument("a drawing value is not finite");
    return value;
}

json pointJson(const Point3& p) { return json::array({finite(p.x), finite(p.y), finite(p.z)}); }

json pointsJson(const std::vector<Point3>& points) {
    json result = json::array();
    for (const Point3& p : points) result.push_back(pointJson(p));
    return result;
}

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

json entriesJson(const std::vector<GeometryEntry>& entries) {
    json result = json::array();
    for (const GeometryEntry& e : entries) {
        json entry = json::object();
        if (e.isGroup) {
            entry["members"] = entriesJson(e.members);
        } else {
            entry["points"] = pointsJson(e.points);
            if (!e.className.empty()) entry["class"] = e.className;
            if (!e.vertexData) entry["vertexData"] = false;
            if (!e.closed) entry["closed"] = false;
        }
        result.push_back(std::move(entry));
    }
    return result;
}

json propertyJson(const PropertyValue& v) {
    switch (v.kind) {
    case PropertyValue::Kind::Bool: return v.boolValue;
    case PropertyValue::Kind::Int16: return static_cast<std::int64_t>(v.intValue);
    case PropertyValue::Kind::Double: return finite(v.doubleValue);  // written with a point: read back as a double
    case PropertyValue::Kind::Point: return pointJson(v.pointValue);
    }
    return nullptr;
}

json objectJson(const DrawingObject& o) {
    json j = json::object();
    if (const char* name = typeName(o.type)) j["type"] = name;
    else j["type"] = o.type;
    j["class"] = o.className;
    if (!o.visible) j["visible"] = false;
    if (o.selected) j["selected"] = true;
    if (!o.name.empty()) j["name"] = o.name;
    if (!o.records.empty()) {
        json records = json::array();
        for (const AuxRecord& r : o.records) {
            json record = json::object();
            if (printableTag(r.tag)) record["tag"] = charsFromTag(r.tag);
            else record["tag"] = r.tag;
            record["hex"] = hexOf(r.bytes);
            records.push_back(std::move(record));
        }
        j["records"] = std::move(records);
    }
    if (o.polygons) j["polygons"] = entriesJson(*o.polygons);
    switch (o.type) {
    case kCodeGroup: {
        json members = json::array();
        for (const DrawingObject& m : o.members) members.push_back(objectJson(m));
        j["members"] = std::move(members);
        break;
    }
    case kCodePolygon:
        j["points"] = pointsJson(o.points);
        if (!o.closed) j["closed"] = false;
        if (!o.vertexData) j["vertexData"] = false;
        break;
    case kCodeInstance:
        if (!o.symbol.empty()) j["symbol"] = o.symbol;
        break;
    case kCodeReference:
        if (o.referredLayer) j["layer"] = *o.referredLayer;
        break;
    case kCodeLight: {
        json properties = json::object();
        for (const auto& [number, value] : o.properties) properties[std::to_string(number)] = propertyJson(value);
        j["properties"] = std::move(properties);
        break;
    }
    default:
        break;
    }
    return j;
}

}  // namespace

std::string serializeDrawing(const Drawing& drawing) {
    // The names back from the host's code page into the document's Unicode.
    const Drawing d = decodedNames(drawing);
    json root = json::object();
    root["pelmoraDrawing"] = d.formatVersion;
    root["unitsPerInch"] = finite(d.unitsPerInch);
    root["hostVersion"] = d.hostVersion;
    root["codePage"] = d.codePage;
    root["canRun"] = d.canRun;
    root["currentItem"] = d.currentItem;
    root["classes"] = d.classes;
    if (d.view) {
        const View& v = *d.view;
        json rotation = json::array();
        for (const auto& row : v.rotation) rotation.push_back(json::array({finite(row[0]), finite(row[1]), finite(row[2])}));
        root["view"] = {{"perspective", v.perspective},
                        {"rotation", std::move(rotation)},
                        {"origin", pointJson(v.origin)},
                        {"distance", finite(v.distance)},
                        {"focal", finite(v.focal)},
                        {"box", json::array({finite(v.box[0]), finite(v.box[1]), finite(v.box[2]), finite(v.box[3])})}};
    } else {
        root["view"] = nullptr;
    }
    json layers = json::array();
    for (const Layer& l : d.layers) {
        json layer = {{"name", l.name}, {"visible", l.visible}, {"elevation", finite(l.elevation)}};
        json objects = json::array();
        for (const DrawingObject& o : l.objects) objects.push_back(objectJson(o));
        layer["objects"] = std::move(objects);
        layers.push_back(std::move(layer));
    }
    root["layers"] = std::move(layers);
    if (!d.activeLayer.empty()) root["activeLayer"] = d.activeLayer;
    json symbols = json::array();
    for (const Symbol& s : d.symbols) symbols.push_back({{"name", s.name}, {"kind", s.kind}});
    root["symbols"] = std::move(symbols);
    return root.dump(1) + "\n";
}

namespace {

// Creates a new empty file with a name of its own beside `target` (the usual
// permissions, as a new file would get them); empty when none can be made.
std::string createFileBeside(const std::string& target) {
    const std::string stem = target + ".new-" + std::to_string(::getpid()) + "-";
    static unsigned serial = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = stem + std::to_string(++serial);
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | kOpenFlags, 0666);
        if (fd >= 0) {
            ::close(fd);
            return candidate;
        }
        if (errno != EEXIST) break;
    }
    return {};
}

// Writes all of `text` to the file; a failed close counts as a failed write
// (a full disk may show only there).
bool writeAll(const std::string& path, const std::string& text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | kOpenFlags);
    if (fd < 0) return false;
    const char* next = text.data();
    std::size_t left = text.size();
    bool written = true;
    while (left > 0) {
        const ssize_t n = ::write(fd, next, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            written = false;
            break;
        }
        next += n;
        left -= static_cast<std::size_t>(n);
    }
    const bool closed = ::close(fd) == 0;
    return written && closed;
}

}  // namespace

void saveDrawingAtomically(const Drawing& drawing, const std::string& file) {
    // Everything that can fail for want of memory happens before the file
    // exists or while its guard stands; the guard's removal cannot throw.
    const std::string text = serializeDrawing(drawing);
    const std::string target = platform::replacementTarget(file);
    std::string created = createFileBeside(target);
    if (created.empty()) throw std::runtime_error("cannot create a new file beside \"" + target + "\"");
    platform::TemporaryFile temporary(std::move(created));
    if (!writeAll(temporary.path(), text)) throw std::runtime_error("cannot write \"" + temporary.path() + "\"");
    if (!platform::replaceFile(temporary.path(), target))
        throw std::runtime_error("cannot replace \"" + file + "\" with the new file");
    temporary.keep();
}

}  // namespace pelmora::hostsim
