#include "qmxread/qmx_json.h"

#include <charconv>
#include <cmath>

#include "base/utf8.h"

namespace pelmora::qmxread {

using Json = nlohmann::ordered_json;

namespace {

Json vec(const base::Vec3f& v) { return Json::array({jsonFloat(v.x), jsonFloat(v.y), jsonFloat(v.z)}); }

std::string hexBytes(const std::vector<std::uint8_t>& data) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(data.size() * 2);
    for (std::uint8_t b : data) {
        text += digits[b >> 4];
        text += digits[b & 0xF];
    }
    return text;
}

const char* layoutName(LayoutTag tag) {
    switch (tag) {
        case LayoutTag::Current:
            return "current";
        case LayoutTag::Legacy:
            return "legacy";
        case LayoutTag::Both:
            break;
    }
    return "both";
}

// The options' decoder, or displayText when none is given.
std::string shown(const std::string& bytes, const JsonOptions& options) {
    return options.text ? options.text(bytes) : displayText(bytes);
}

Json fieldValue(const DecodedField& field, const JsonOptions& options) {
    switch (field.def->type) {
        case FieldType::Int32:
            if (field.ints.size() == 1) return field.ints[0];
            return Json(field.ints);
        case FieldType::Float: {
            if (field.floats.size() == 1) return jsonFloat(field.floats[0]);
            Json values = Json::array();
            for (float f : field.floats) values.push_back(jsonFloat(f));
            return values;
        }
        case FieldType::Text:
            break;
    }
    return shown(field.text, options);
}

Json payloadJson(const DecodedPayload& payload, const JsonOptions& options) {
    Json out = Json::object();
    out["layout"] = layoutName(payload.layout->layout);
    Json unnamed = Json::object();
    for (const DecodedField& field : payload.fields) {
        if (field.def->name[0] == '@') {
            unnamed[field.def->name] = fieldValue(field, options);
        } else {
            out[field.def->name] = fieldValue(field, options);
        }
    }
    out["unnamed"] = std::move(unnamed);
    return out;
}

Json indexList(const std::vector<std::uint32_t>& indices) { return Json(indices); }

Json meshJson(const MeshPayload& mesh, const JsonOptions& options) {
    Json out = Json::object();
    out["layout"] = mesh.legacy ? "legacy" : "current";
    out["vertexCount"] = mesh.vertexCount;
    out["polygonCount"] = mesh.polygonCount;
    out["indexBytes"] = mesh.indexBytes;
    out["smoothingAngle"] = jsonFloat(mesh.smoothingAngle);
    out["mappingType"] = mesh.mappingType;
    if (mesh.legacy) out["vertexBytes"] = mesh.vertexBytes;
    if (options.geometry) {
        Json vertices = Json::array();
        for (const base::Vec3f& v : mesh.vertices) vertices.push_back(vec(v));
        Json polygons = Json::array();
        for (const MeshPolygon& polygon : mesh.polygons) {
            if (polygon.holes.empty()) {
                polygons.push_back(indexList(polygon.indices));
            } else {
                Json holes = Json::array();
                for (const auto& hole : polygon.holes) holes.push_back(indexList(hole));
                polygons.push_back(Json{{"indices", indexList(polygon.indices)}, {"holes", std::move(holes)}});
            }
        }
        out["vertices"] = std::move(vertices);
        out["polygons"] = std::move(polygons);
    }
    return out;
}

Json motionJson(const Motion& motion, bool legacy, const JsonOptions& options) {
    Json out = Json::object();
    out["name"] = shown(motion.name, options);
    out["kind"] = motion.kind;
    out["key"] = motion.key;
    out["motionFlags"] = motion.motionFlags;
    out["dataFormat"] = motion.dataFormat;
    out["dataSize"] = motion.dataSize;
    out["subName"] = shown(motion.subName, options);
    if (!legacy) {
        out["extraName"] = shown(motion.extraName, options);
        out["intA"] = motion.intA;
    }
    out["intB"] = motion.intB;
    out["weight"] = jsonFloat(motion.weight);
    out["vecA"] = vec(motion.vecA);
    if (!legacy) {
        out["intC"] = motion.intC;
        out["floatB"] = jsonFloat(motion.floatB);
    } else {
        const LegacyMotionValues& l = motion.legacy;
        out["legacy"] = Json{{"keyed", l.keyed},
                             {"flag10", l.flag10},
                             {"flag20", l.flag20},
                             {"quad", Json::array({jsonFloat(l.quad[0]), jsonFloat(l.quad[1]), jsonFloat(l.quad[2]),
                                                   jsonFloat(l.quad[3])})},
                             {"vectorB", vec(l.vectorB)},
                             {"notFlag100", l.notFlag100},
                             {"floatC", jsonFloat(l.floatC)},
                             {"vectorC", vec(l.vectorC)}};
    }
    if (motion.byteSum) out["byteSum"] = *motion.byteSum;
    out["offset"] = motion.offset;
    out["payload"] = motion.payload ? payloadJson(*motion.payload, options) : Json(nullptr);
    if (options.raw && !motion.data.empty()) out["data"] = hexBytes(motion.data);
    return out;
}

Json nodeJson(const Node& node, bool legacy, const JsonOptions& options) {
    Json out = Json::object();
    out["id"] = node.id;
    out["kind"] = node.kind;
    out["type"] = node.type;
    out["name"] = shown(node.name, options);
    out["subName"] = shown(node.subName, options);
    out["attrA"] = node.attrA;
    out["attrB"] = node.attrB;
    out["targetId1"] = node.targetId1;
    out["targetId2"] = node.targetId2;
    out["dataFormat"] = node.dataFormat;
    out["dataSize"] = node.dataSize;
    out["vecA"] = vec(node.vecA);
    out["intA"] = node.intA;
    out["intB"] = node.intB;
    out["vecB"] = vec(node.vecB);
    out["vecC"] = vec(node.vecC);
    out["vecD"] = vec(node.vecD);
    out["intC"] = node.intC;
    if (legacy) {
        out["legacy"] = Json{{"flagWord", node.legacy.flagWord},
                             {"zeroInt", node.legacy.zeroInt},
                             {"zeroFloat", jsonFloat(node.legacy.zeroFloat)},
                             {"zeroVector", vec(node.legacy.zeroVector)}};
    }
    if (node.byteSum) out["byteSum"] = *node.byteSum;
    out["offset"] = node.offset;
    if (node.mesh) out["mesh"] = meshJson(*node.mesh, options);
    if (options.raw && !node.data.empty()) out["data"] = hexBytes(node.data);
    Json motions = Json::array();
    for (const Motion& motion : node.motions) motions.push_back(motionJson(motion, legacy, options));
    out["motions"] = std::move(motions);
    Json children = Json::array();
    for (const Node& child : node.children) children.push_back(nodeJson(child, legacy, options));
    out["children"] = std::move(children);
    return out;
}

}  // namespace

std::string displayText(const std::string& bytes) {
    if (base::isValidUtf8(bytes)) return bytes;
    std::string text;
    text.reserve(bytes.size() * 2);
    for (char c : bytes) {
        auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | (b >> 6));
            text += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return text;
}

Json jsonFloat(float value) {
    if (!std::isfinite(value)) return nullptr;
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    double shortest = value;
    if (error == std::errc{}) std::from_chars(buffer, end, shortest);
    return shortest;
}

Json toJson(const QmxFile& file, const JsonOptions& options) {
    Json out = Json::object();
    bool legacy = file.header.layout == Layout::Legacy;
    out["encoding"] = file.encoding == Encoding::Binary ? "BINARY" : "ASCII";
    out["layout"] = legacy ? "legacy" : "current";
    Json header = Json::object();
    for (const HeaderEntry& entry : file.header.entries) {
        switch (entry.type) {
            case HeaderEntry::Type::String:
                header[entry.key] = shown(entry.text, options);
                break;
            case HeaderEntry::Type::Int:
                header[entry.key] = entry.number;
                break;
            case HeaderEntry::Type::Bare:
                header[entry.key] = true;
                break;
        }
    }
    out["header"] = std::move(header);
    out["root"] = file.roots.empty() ? Json(nullptr) : nodeJson(file.roots.front(), legacy, options);
    if (file.roots.size() > 1) {
        Json roots = Json::array();
        for (const Node& root : file.roots) roots.push_back(nodeJson(root, legacy, options));
        out["roots"] = std::move(roots);
    }
    return out;
}

}  // namespace pelmora::qmxread
