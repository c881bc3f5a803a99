#include "qmxread/qmx_print.h"

#include <charconv>
#include <string>

#include "qmxread/qmx_json.h"

namespace pelmora::qmxread {

namespace {

std::string num(float value) {
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return error == std::errc{} ? std::string(buffer, end) : std::string("?");
}

std::string vec(const base::Vec3f& v) { return std::string("(") + num(v.x) + ", " + num(v.y) + ", " + num(v.z) + ")"; }

std::string quoted(const std::string& bytes, const PrintOptions& options) {
    std::string out = "\"";
    out += escapedControls(options.text ? options.text(bytes) : displayText(bytes));
    out += '"';
    return out;
}

void indent(std::ostream& out, int depth) {
    for (int i = 0; i < depth; ++i) out << "  ";
}

std::string fieldText(const DecodedField& field, const PrintOptions& options) {
    switch (field.def->type) {
        case FieldType::Text:
            return quoted(field.text, options);
        case FieldType::Int32: {
            if (field.ints.size() == 1) return std::to_string(field.ints[0]);
            std::string text = "[";
            for (std::size_t i = 0; i < field.ints.size(); ++i) text += (i ? ", " : "") + std::to_string(field.ints[i]);
            return text + "]";
        }
        case FieldType::Float:
            break;
    }
    if (field.floats.size() == 1) return num(field.floats[0]);
    std::string text = "[";
    for (std::size_t i = 0; i < field.floats.size(); ++i) text += (i ? ", " : "") + num(field.floats[i]);
    return text + "]";
}

void printMotion(std::ostream& out, const Motion& motion, int depth, const PrintOptions& options) {
    indent(out, depth);
    out << "motion " << quoted(motion.name, options) << " kind " << motion.kind << ", key " << motion.key << ", flags "
        << motion.motionFlags << ", dataFormat " << motion.dataFormat << ", " << motion.dataSize << " bytes\n";
    if (!motion.payload) return;
    for (const DecodedField& field : motion.payload->fields) {
        if (field.def->name[0] == '@') continue;
        indent(out, depth + 2);
        out << field.def->name << " = " << fieldText(field, options) << "\n";
    }
}

// The node's line and its mesh: its motion items and children follow.
void printNodeHead(std::ostream& out, const Node& node, int depth, const PrintOptions& options) {
    indent(out, depth);
    out << "node " << node.id << " " << quoted(node.name, options) << " type " << node.type << ", kind " << node.kind
        << ", attrA " << node.attrA << ", attrB " << node.attrB << ", targets " << node.targetId1 << "/"
        << node.targetId2 << ", dataFormat " << node.dataFormat << ", " << node.dataSize << " bytes\n";
    if (node.mesh) {
        const MeshPayload& mesh = *node.mesh;
        indent(out, depth + 2);
        out << (mesh.legacy ? "legacy " : "") << "mesh: " << mesh.vertexCount << " vertices, " << mesh.polygonCount
            << " polygons, " << mesh.indexBytes << " index bytes, smoothing " << num(mesh.smoothingAngle)
            << " rad, mappingType " << mesh.mappingType << "\n";
        if (options.geometry) {
            for (std::size_t i = 0; i < mesh.vertices.size(); ++i) {
                indent(out, depth + 3);
                out << "v" << i << " " << vec(mesh.vertices[i]) << "\n";
            }
            for (const MeshPolygon& polygon : mesh.polygons) {
                indent(out, depth + 3);
                out << "polygon";
                for (std::uint32_t index : polygon.indices) out << " " << index;
                for (const auto& hole : polygon.holes) {
                    out << " | hole";
                    for (std::uint32_t index : hole) out << " " << index;
                }
                out << "\n";
            }
        }
    }
}

void printNode(std::ostream& out, const Node& node, int depth, const PrintOptions& options) {
    printNodeHead(out, node, depth, options);
    for (const Motion& motion : node.motions) printMotion(out, motion, depth + 1, options);
    for (const Node& child : node.children) printNode(out, child, depth + 1, options);
}

void printHeader(std::ostream& out, Encoding encoding, const Header& header, const PrintOptions& options) {
    out << (encoding == Encoding::Binary ? "BINARY" : "ASCII") << ", "
        << (header.layout == Layout::Legacy ? "legacy" : "current") << " layout"
        << (header.checksums ? ", byte-sums" : "") << "\n";
    for (const HeaderEntry& entry : header.entries) {
        out << "  " << entry.key;
        if (entry.type == HeaderEntry::Type::String) out << " " << quoted(entry.text, options);
        if (entry.type == HeaderEntry::Type::Int) out << " " << entry.number;
        out << "\n";
    }
}

class NodePrinter final : public TreeVisitor {
public:
    NodePrinter(std::ostream& out, const PrintOptions& options) : out_(out), options_(options) {}

    void header(Encoding encoding, const Header& header) override { printHeader(out_, encoding, header, options_); }
    void nodeBegins(const Node& node, std::size_t depth) override {
        printNodeHead(out_, node, static_cast<int>(depth), options_);
    }
    void motion(const Motion& motion, std::size_t nodeDepth) override {
        printMotion(out_, motion, static_cast<int>(nodeDepth) + 1, options_);
    }
    void nodeEnds(std::size_t) override {}

private:
    std::ostream& out_;
    const PrintOptions& options_;
};

}  // namespace

std::string escapedControls(const std::string& text) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    auto escape = [&out](unsigned code) {
        out += "\\u00";
        out += digits[code >> 4];
        out += digits[code & 0xF];
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0u;
        if (b < 0x20 || b == 0x7F) {
            escape(b);
        } else if (b == 0xC2 && next >= 0x80 && next <= 0x9F) {
            escape(next);
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

void printTree(std::ostream& out, const QmxFile& file, const PrintOptions& options) {
    printHeader(out, file.encoding, file.header, options);
    for (const Node& root : file.roots) printNode(out, root, 0, options);
}

void printTree(std::ostream& out, std::span<const std::uint8_t> bytes, const ReadOptions& read,
               const PrintOptions& options) {
    NodePrinter printer(out, options);
    visitQmx(bytes, printer, read);
}

}  // namespace pelmora::qmxread
