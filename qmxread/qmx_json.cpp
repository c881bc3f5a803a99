#include "qmxread/qmx_json.h"

#include <charconv>
#include <cmath>

#include "base/utf8.h"

namespace pelmora::qmxread {

using Json = nlohmann::ordered_json;

namespace {

void vec(JsonSink& out, const base::Vec3f& v) {
    out.beginArray();
    out.value(jsonFloat(v.x));
    out.value(jsonFloat(v.y));
    out.value(jsonFloat(v.z));
    out.endArray();
}

void vecMember(JsonSink& out, const char* name, const base::Vec3f& v) {
    out.key(name);
    vec(out, v);
}

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

template <typename T>
void list(JsonSink& out, const std::vector<T>& items) {
    out.beginArray();
    for (const T& item : items) out.value(item);
    out.endArray();
}

void fieldValue(JsonSink& out, const DecodedField& field, const JsonOptions& options) {
    switch (field.def->type) {
        case FieldType::Int32:
            if (field.ints.size() == 1) return out.value(field.ints[0]);
            return list(out, field.ints);
        case FieldType::Float: {
            if (field.floats.size() == 1) return out.value(jsonFloat(field.floats[0]));
            out.beginArray();
            for (float f : field.floats) out.value(jsonFloat(f));
            return out.endArray();
        }
        case FieldType::Text:
            break;
    }
    out.value(shown(field.text, options));
}

// The named fields in payload order, then those whose names begin with '@'.
void payloadJson(JsonSink& out, const DecodedPayload& payload, const JsonOptions& options) {
    out.beginObject();
    out.member("layout", layoutName(payload.layout->layout));
    for (const DecodedField& field : payload.fields) {
        if (field.def->name[0] == '@') continue;
        out.key(field.def->name);
        fieldValue(out, field, options);
    }
    out.key("unnamed");
    out.beginObject();
    for (const DecodedField& field : payload.fields) {
        if (field.def->name[0] != '@') continue;
        out.key(field.def->name);
        fieldValue(out, field, options);
    }
    out.endObject();
    out.endObject();
}

void polygonsJson(JsonSink& out, const MeshPayload& mesh) {
    out.beginArray();
    for (const MeshPolygon& polygon : mesh.polygons) {
        if (polygon.holes.empty()) {
            list(out, polygon.indices);
            continue;
        }
        out.beginObject();
        out.key("indices");
        list(out, polygon.indices);
        out.key("holes");
        out.beginArray();
        for (const auto& hole : polygon.holes) list(out, hole);
        out.endArray();
        out.endObject();
    }
    out.endArray();
}

void meshJson(JsonSink& out, const MeshPayload& mesh, const JsonOptions& options) {
    out.beginObject();
    out.member("layout", mesh.legacy ? "legacy" : "current");
    out.member("vertexCount", mesh.vertexCount);
    out.member("polygonCount", mesh.polygonCount);
    out.member("indexBytes", mesh.indexBytes);
    out.member("smoothingAngle", jsonFloat(mesh.smoothingAngle));
    out.member("mappingType", mesh.mappingType);
    if (mesh.legacy) out.member("vertexBytes", mesh.vertexBytes);
    if (options.geometry) {
        out.key("vertices");
        out.beginArray();
        for (const base::Vec3f& v : mesh.vertices) vec(out, v);
        out.endArray();
        out.key("polygons");
        polygonsJson(out, mesh);
    }
    out.endObject();
}

void legacyMotionJson(JsonSink& out, const LegacyMotionValues& l) {
    out.key("legacy");
    out.beginObject();
    out.member("keyed", l.keyed);
    out.member("flag10", l.flag10);
    out.member("flag20", l.flag20);
    out.key("quad");
    out.beginArray();
    for (float q : l.quad) out.value(jsonFloat(q));
    out.endArray();
    vecMember(out, "vectorB", l.vectorB);
    out.member("notFlag100", l.notFlag100);
    out.member("floatC", jsonFloat(l.floatC));
    vecMember(out, "vectorC", l.vectorC);
    out.endObject();
}

void legacyNodeJson(JsonSink& out, const LegacyNodeValues& l) {
    out.key("legacy");
    out.beginObject();
    out.member("flagWord", l.flagWord);
    out.member("zeroInt", l.zeroInt);
    out.member("zeroFloat", jsonFloat(l.zeroFloat));
    vecMember(out, "zeroVector", l.zeroVector);
    out.endObject();
}

// The node's members up to its motion items: those and the children follow.
void nodeHeadJson(JsonSink& out, const Node& node, bool legacy, const JsonOptions& options) {
    out.member("id", node.id);
    out.member("kind", node.kind);
    out.member("type", node.type);
    out.member("name", shown(node.name, options));
    out.member("subName", shown(node.subName, options));
    out.member("attrA", node.attrA);
    out.member("attrB", node.attrB);
    out.member("targetId1", node.targetId1);
    out.member("targetId2", node.targetId2);
    out.member("dataFormat", node.dataFormat);
    out.member("dataSize", node.dataSize);
    vecMember(out, "vecA", node.vecA);
    out.member("intA", node.intA);
    out.member("intB", node.intB);
    vecMember(out, "vecB", node.vecB);
    vecMember(out, "vecC", node.vecC);
    vecMember(out, "vecD", node.vecD);
    out.member("intC", node.intC);
    if (legacy) legacyNodeJson(out, node.legacy);
    if (node.byteSum) out.member("byteSum", *node.byteSum);
    out.member("offset", node.offset);
    if (node.mesh) {
        out.key("mesh");
        meshJson(out, *node.mesh, options);
    }
    if (options.raw && !node.data.empty()) out.member("data", hexBytes(node.data));
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

void beginJson(JsonSink& out, Encoding encoding, const Header& header, const JsonOptions& options) {
    out.beginObject();
    out.member("encoding", encoding == Encoding::Binary ? "BINARY" : "ASCII");
    out.member("layout", header.layout == Layout::Legacy ? "legacy" : "current");
    out.key("header");
    out.beginObject();
    for (const HeaderEntry& entry : header.entries) {
        switch (entry.type) {
            case HeaderEntry::Type::String:
                out.member(entry.key, shown(entry.text, options));
                break;
            case HeaderEntry::Type::Int:
                out.member(entry.key, entry.number);
                break;
            case HeaderEntry::Type::Bare:
                out.member(entry.key, true);
                break;
        }
    }
    out.endObject();
}

void beginNodeJson(JsonSink& out, const Node& node, bool legacy, const JsonOptions& options) {
    out.beginObject();
    nodeHeadJson(out, node, legacy, options);
    out.key("motions");
    out.beginArray();
}

void motionJson(JsonSink& out, const Motion& motion, bool legacy, const JsonOptions& options) {
    out.beginObject();
    out.member("name", shown(motion.name, options));
    out.member("kind", motion.kind);
    out.member("key", motion.key);
    out.member("motionFlags", motion.motionFlags);
    out.member("dataFormat", motion.dataFormat);
    out.member("dataSize", motion.dataSize);
    out.member("subName", shown(motion.subName, options));
    if (!legacy) {
        out.member("extraName", shown(motion.extraName, options));
        out.member("intA", motion.intA);
    }
    out.member("intB", motion.intB);
    out.member("weight", jsonFloat(motion.weight));
    vecMember(out, "vecA", motion.vecA);
    if (!legacy) {
        out.member("intC", motion.intC);
        out.member("floatB", jsonFloat(motion.floatB));
    } else {
        legacyMotionJson(out, motion.legacy);
    }
    if (motion.byteSum) out.member("byteSum", *motion.byteSum);
    out.member("offset", motion.offset);
    out.key("payload");
    if (motion.payload) payloadJson(out, *motion.payload, options);
    else out.value(nullptr);
    if (options.raw && !motion.data.empty()) out.member("data", hexBytes(motion.data));
    out.endObject();
}

namespace {

void nodeJson(JsonSink& out, const Node& node, bool legacy, const JsonOptions& options) {
    beginNodeJson(out, node, legacy, options);
    for (const Motion& motion : node.motions) motionJson(out, motion, legacy, options);
    out.endArray();
    out.key("children");
    out.beginArray();
    for (const Node& child : node.children) nodeJson(out, child, legacy, options);
    out.endArray();
    out.endObject();
}

}  // namespace

Json toJson(const QmxFile& file, const JsonOptions& options) {
    JsonTreeSink out;
    const bool legacy = file.header.layout == Layout::Legacy;
    beginJson(out, file.encoding, file.header, options);
    out.key("root");
    if (file.roots.empty()) out.value(nullptr);
    else nodeJson(out, file.roots.front(), legacy, options);
    if (file.roots.size() > 1) {
        out.key("roots");
        out.beginArray();
        for (const Node& root : file.roots) nodeJson(out, root, legacy, options);
        out.endArray();
    }
    out.endObject();
    return out.take();
}

}  // namespace pelmora::qmxread
