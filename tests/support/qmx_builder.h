// Test-side QMX encoder from the file format alone (not the plug-in's writer),
// both encodings and layouts, remembering the offsets of chosen values.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qmxtest {

using Bytes = std::vector<std::uint8_t>;
using V3 = std::array<float, 3>;

struct TMotion {
    std::int32_t kind = 2;
    std::string name = "motionTranslate";
    std::string subName, extraName;
    std::int32_t key = 0, intA = 0, motionFlags = 0, intB = 0;
    float weight = 0.5f;
    V3 vecA{};
    std::int32_t intC = 0;
    float floatB = 0.0f;
    std::int32_t dataFormat = 1;
    Bytes data;
    std::optional<std::int32_t> dataSize;  // written instead of data.size()
    std::optional<std::uint32_t> byteSum;  // written instead of the true sum
    std::uint8_t marker = 255;
};

struct TNode {
    std::int32_t kind = 5;
    std::uint32_t id = 0;
    std::uint32_t attrA = 0, attrB = 0;
    std::uint32_t flagWord = 0;  // legacy layout: written in place of attrA/attrB
    std::string name = "Node", subName;
    std::int32_t type = 0;
    V3 vecA{};
    std::int32_t intA = 1, targetId1 = -1, targetId2 = -1, intB = 0;
    V3 vecB{}, vecC{}, vecD{};
    std::int32_t intC = -1, dataFormat = 1;
    Bytes data;
    std::optional<std::int32_t> dataSize;
    std::optional<std::uint32_t> byteSum;
    std::int32_t marker = -652984;
    std::vector<TMotion> motions;
    std::vector<TNode> children;
};

struct THeader {
    bool legacy = false;
    bool checksums = true;
    std::string version;  // empty: by layout
    std::string machine = "WINDOWS", client = "VectorWorks2008";
    std::int32_t subFormat = 1048, itFlags = 1, fps = 24, maxTime = 8000;
};

inline THeader headerOf(bool legacy, bool checksums) {
    THeader h;
    h.legacy = legacy;
    h.checksums = checksums;
    return h;
}

class Builder {
public:
    explicit Builder(bool ascii, bool crlf = false) : ascii_(ascii), crlf_(crlf) {}

    Bytes bytes;
    std::map<std::string, std::size_t> marks;  // name -> offset of the value

    void mark(const std::string& name) { marks[name] = bytes.size(); }

    void raw(const std::string& text) { bytes.insert(bytes.end(), text.begin(), text.end()); }
    void lineEnd() { raw(crlf_ ? "\r\n" : "\n"); }
    void indent(int depth) {
        if (ascii_) raw(std::string(static_cast<std::size_t>(depth), '\t'));
    }
    void key(const std::string& text) {
        if (ascii_) {
            raw("\"" + text + "\"");
        } else {
            raw(text);
            bytes.push_back(0);
        }
    }
    void str(const std::string& text, int depth, const char* markName = nullptr) {
        indent(depth);
        if (markName) mark(markName);
        key(text);
        if (ascii_) lineEnd();
    }
    void i32(std::int32_t v, int depth, const char* markName = nullptr) {
        indent(depth);
        if (markName) mark(markName);
        if (ascii_) {
            raw(std::to_string(v));
            lineEnd();
        } else {
            auto u = static_cast<std::uint32_t>(v);
            for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(u >> (8 * i)));
        }
    }
    void f32(float v, int depth) { floats({v}, depth); }
    void vec(const V3& v, int depth) { floats({v[0], v[1], v[2]}, depth); }
    void floats(std::initializer_list<float> values, int depth) {
        indent(depth);
        if (ascii_) {
            std::string line;
            for (float v : values) {
                char text[64];
                std::snprintf(text, sizeof text, "%.5f", static_cast<double>(v));
                if (!line.empty()) line += ' ';
                line += text;
            }
            raw(line);
            lineEnd();
        } else {
            for (float v : values) {
                auto u = std::bit_cast<std::uint32_t>(v);
                for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(u >> (8 * i)));
            }
        }
    }
    void ch(std::uint8_t c, int depth, const char* markName = nullptr) {
        indent(depth);
        if (markName) mark(markName);
        bytes.push_back(c);
        if (ascii_) lineEnd();
    }
    void payload(const Bytes& data, int depth) {
        indent(depth);
        if (!ascii_) {
            bytes.insert(bytes.end(), data.begin(), data.end());
            return;
        }
        for (std::size_t i = 0; i < data.size(); ++i) {
            raw(std::to_string(data[i]) + " ");
            if ((i + 1) % 21 == 0) lineEnd();
        }
        lineEnd();
    }

    void header(const THeader& h) {
        if (ascii_) {
            key("ASCII");
            lineEnd();
        } else {
            key("BINARY");
        }
        mark("version");
        key("version");
        str(h.version.empty() ? (h.legacy ? "1.25.2002" : "2.02.2010") : h.version, 0);
        key("machine");
        str(h.machine, 0);
        key("client");
        str(h.client, 0);
        if (!h.legacy) {
            key("SubFormat");
            i32(h.subFormat, 0);
            key("ITFlags");
            i32(h.itFlags, 0);
        }
        key("FPS");
        i32(h.fps, 0);
        key("maxTime");
        i32(h.maxTime, 0);
        if (h.checksums && !h.legacy) key("CheckSum");
        legacy_ = h.legacy;
        checksums_ = h.checksums && !h.legacy;
    }

    void node(const TNode& n, int d) {
        const std::string tag = "node" + std::to_string(n.id);
        str("{", d, (tag + ".open").c_str());
        const int v = d + 1;
        if (legacy_) {
            i32(static_cast<std::int32_t>(n.id), v);
            i32(static_cast<std::int32_t>(n.flagWord), v);
            str(n.name, v);
            str(n.subName, v);
            i32(n.type, v);
            vec(n.vecA, v);
            i32(n.intA, v);
            i32(n.targetId1, v);
            i32(n.targetId2, v);
            i32(n.kind, v);
            i32(n.intB, v);
            vec(n.vecB, v);
            vec(n.vecC, v);
            vec(n.vecD, v);
            i32(n.intC, v);
            i32(0, v);
            f32(0.0f, v);
            vec({0, 0, 0}, v);
        } else {
            i32(n.marker, v, (tag + ".marker").c_str());
            i32(n.kind, v);
            i32(static_cast<std::int32_t>(n.id), v);
            i32(static_cast<std::int32_t>(n.attrA), v);
            i32(static_cast<std::int32_t>(n.attrB), v);
            str(n.name, v);
            str(n.subName, v);
            i32(n.type, v);
            vec(n.vecA, v);
            i32(n.intA, v);
            i32(n.targetId1, v);
            i32(n.targetId2, v);
            i32(n.intB, v);
            vec(n.vecB, v);
            vec(n.vecC, v);
            vec(n.vecD, v);
            i32(n.intC, v);
        }
        i32(n.dataFormat, v);
        dataBlock(n.data, n.dataSize, n.byteSum, v, tag);
        for (const TMotion& m : n.motions) motion(m, v, tag);
        for (const TNode& c : n.children) node(c, v);
        str("}", d);
    }

    void file(const THeader& h, const TNode& root) {
        header(h);
        node(root, 0);
    }

private:
    void dataBlock(const Bytes& data, std::optional<std::int32_t> size, std::optional<std::uint32_t> sum, int v,
                   const std::string& tag) {
        std::int32_t written = size.value_or(static_cast<std::int32_t>(data.size()));
        i32(written, v, (tag + ".dataSize").c_str());
        if (written == 0) return;
        if (checksums_) {
            std::uint32_t s = 0;
            for (std::uint8_t b : data) s += b;
            i32(static_cast<std::int32_t>(sum.value_or(s)), v, (tag + ".sum").c_str());
        }
        marks[tag + ".data"] = bytes.size() + (ascii_ ? static_cast<std::size_t>(v) : 0);
        payload(data, v);
    }

    void motion(const TMotion& m, int d, const std::string& nodeTag) {
        const std::string tag = nodeTag + "." + m.name;
        str("(", d, (tag + ".open").c_str());
        const int v = d + 1;
        if (legacy_) {
            const std::int32_t f = m.motionFlags;
            str(m.name, v);
            str(m.subName, v);
            i32(m.key, v);
            i32((m.key == 0 && (f & 0x80)) ? 0 : 1, v);
            i32((f & 0x10) ? 1 : 0, v);
            i32((f & 0x20) ? 1 : 0, v);
            i32(m.intB, v);
            f32(m.weight, v);
            vec(m.vecA, v);
            floats({0, 0, 0, 0}, v);
            vec({0, 0, 0}, v);
            i32((f & 0x100) ? 0 : 1, v);
            i32(m.kind, v);
            i32(m.motionFlags, v);
            f32(0.0f, v);
            vec({0, 0, 0}, v);
        } else {
            ch(m.marker, v, (tag + ".marker").c_str());
            i32(m.kind, v);
            str(m.name, v);
            str(m.subName, v);
            str(m.extraName, v);
            i32(m.key, v);
            i32(m.intA, v);
            i32(m.motionFlags, v);
            i32(m.intB, v);
            f32(m.weight, v);
            vec(m.vecA, v);
            i32(m.intC, v);
            f32(m.floatB, v);
        }
        i32(m.dataFormat, v);
        dataBlock(m.data, m.dataSize, m.byteSum, v, tag);
        str(")", d);
    }

    bool ascii_;
    bool crlf_;
    bool legacy_ = false;
    bool checksums_ = true;
};

// A payload filled at chosen offsets, little-endian.
struct PayloadBuilder {
    Bytes data;
    explicit PayloadBuilder(std::size_t size) : data(size, 0) {}
    PayloadBuilder& i32(std::size_t at, std::int32_t v) {
        for (int i = 0; i < 4; ++i)
            data.at(at + i) = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i));
        return *this;
    }
    PayloadBuilder& i16(std::size_t at, std::uint16_t v) {
        data.at(at) = static_cast<std::uint8_t>(v);
        data.at(at + 1) = static_cast<std::uint8_t>(v >> 8);
        return *this;
    }
    PayloadBuilder& f32(std::size_t at, float v) { return i32(at, std::bit_cast<std::int32_t>(v)); }
    PayloadBuilder& text(std::size_t at, const std::string& t) {
        std::memcpy(data.data() + at, t.data(), t.size());
        data.at(at + t.size()) = 0;
        return *this;
    }
};

inline Bytes build(bool ascii, const THeader& h, const TNode& root, std::map<std::string, std::size_t>* marks = nullptr,
                   bool crlf = false) {
    Builder b(ascii, crlf);
    b.file(h, root);
    if (marks) *marks = b.marks;
    return b.bytes;
}

inline std::size_t lineAt(const Bytes& bytes, std::size_t offset) {
    std::size_t line = 1;
    for (std::size_t i = 0; i < offset && i < bytes.size(); ++i) line += bytes[i] == '\n';
    return line;
}

}  // namespace qmxtest
