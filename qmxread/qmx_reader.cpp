// The grammar of a QMX file: header keys, then nodes "{" ... "}" whose values
// come in fixed order (by layout), then motion items "(" ... ")", then child
// nodes. Positions decide the meaning of every value.
#include "qmxread/qmx_reader.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "base/legacy_flags.h"
#include "qmxread/value_source.h"

namespace pelmora::qmxread {

const HeaderEntry* Header::find(const std::string& key) const {
    for (const HeaderEntry& entry : entries) {
        if (entry.key == key) return &entry;
    }
    return nullptr;
}

std::uint32_t byteSum(std::span<const std::uint8_t> data) {
    std::uint32_t sum = 0;
    for (std::uint8_t b : data) sum += b;
    return sum;
}

namespace {

class Parser {
public:
    // With a visitor, each node and motion item goes to it as it is read and
    // none is kept: the file's roots stay empty.
    Parser(ValueSource& src, const ReadOptions& options, TreeVisitor* visitor = nullptr)
        : src_(src), options_(options), visitor_(visitor) {}

    void readFile(QmxFile& file) {
        const bool rootFollows = readHeader(file.header);
        if (visitor_) visitor_->header(file.encoding, file.header);
        if (!rootFollows) src_.failAt(src_.position(), "file ends before the root node");
        for (;;) {
            std::size_t at = src_.valueOffset();
            Node root = readNode(at, 0);
            if (!visitor_) file.roots.push_back(std::move(root));
            if (src_.atEnd()) return;
            std::string next = src_.readString("'{' of a further root node");
            if (next != "{")
                src_.failAtValue("expected '{' of a further root node or the end of the file, found \"" + next + "\"");
        }
    }

private:
    // Gives true when the root's "{" has been read.
    bool readHeader(Header& header) {
        bool rootFollows = false;
        while (!src_.atEnd()) {
            std::string key = src_.readKey("header key or '{'");
            std::size_t at = src_.valueOffset();
            if (key == "{") {
                rootFollows = true;
                break;
            }
            if (header.find(key) != nullptr) src_.failAt(at, "header key \"" + key + "\" appears twice");
            HeaderEntry entry;
            entry.key = key;
            entry.offset = at;
            if (key == "version" || key == "machine" || key == "client") {
                entry.type = HeaderEntry::Type::String;
                entry.text = src_.readString(("header value of \"" + key + "\"").c_str());
            } else if (key == "SubFormat" || key == "ITFlags" || key == "FPS" || key == "maxTime") {
                entry.type = HeaderEntry::Type::Int;
                entry.number = src_.readInt(("header value of \"" + key + "\"").c_str());
            } else if (key == "CheckSum") {
                entry.type = HeaderEntry::Type::Bare;
                header.checksums = true;
            } else {
                src_.failAt(at, "unknown header key \"" + key + "\"");
            }
            header.entries.push_back(std::move(entry));
        }
        const HeaderEntry* version = header.find("version");
        if (version != nullptr) {
            if (version->text == kLegacyVersion) {
                header.layout = Layout::Legacy;
            } else if (version->text != kCurrentVersion) {
                src_.failAt(version->offset, "unknown version \"" + version->text + "\" (expected \"" +
                                                 kCurrentVersion + "\" or \"" + kLegacyVersion + "\")");
            }
        } else if (rootFollows) {
            src_.failAtValue("the header has no version, so the layout of the nodes is unknown");
        }
        legacy_ = header.layout == Layout::Legacy;
        // The legacy layout carries no byte-sums, even under a CheckSum key.
        checksums_ = header.checksums && !legacy_;
        return rootFollows;
    }

    base::Vec3f readVector(const char* what) {
        base::Vec3f v;
        v.x = src_.readFloat(what);
        v.y = src_.readFloat(what);
        v.z = src_.readFloat(what);
        return v;
    }

    // dataSize, the byte-sum when the file has them, then the payload.
    void readPayload(std::int32_t dataSize, std::size_t sizeAt, std::optional<std::uint32_t>& sum,
                     std::vector<std::uint8_t>& data, std::size_t& dataOffset, const char* what) {
        if (dataSize == 0) return;
        if (dataSize < 0)
            src_.failAt(sizeAt, std::string("negative dataSize ") + std::to_string(dataSize) + " of " + what);
        std::size_t sumAt = 0;
        if (checksums_) {
            sum = static_cast<std::uint32_t>(src_.readInt("byte-sum"));
            sumAt = src_.valueOffset();
        }
        std::size_t size = static_cast<std::size_t>(dataSize);
        if (!src_.canHold(size)) {
            src_.failAt(sizeAt, std::string("dataSize ") + std::to_string(dataSize) + " of " + what +
                                    " is larger than the rest of the file");
        }
        src_.readBytes(size, data, what);
        dataOffset = src_.valueOffset();
        if (sum && *sum != byteSum(data)) {
            src_.failAt(sumAt, "byte-sum mismatch: the file gives " + std::to_string(*sum) + ", the " +
                                   std::to_string(size) + " bytes of the " + what + " sum to " +
                                   std::to_string(byteSum(data)));
        }
    }

    [[noreturn]] void failInPayload(std::size_t dataOffset, const PayloadError& error) {
        if (src_.ascii()) {
            src_.failAt(dataOffset,
                        std::string(error.what()) + " (payload byte " + std::to_string(error.payloadOffset()) + ")");
        }
        src_.failAt(dataOffset + error.payloadOffset(), error.what());
    }

    // `at`: offset of the node's "{", already read.
    Node readNode(std::size_t at, std::size_t depth) {
        if (depth >= options_.maxDepth) {
            src_.failAt(at, "nodes nested deeper than " + std::to_string(options_.maxDepth) + " levels");
        }
        Node node;
        node.offset = at;
        if (legacy_) readLegacyHeader(node);
        else readHeader(node);
        readNodePayload(node);
        if (visitor_) visitor_->nodeBegins(node, depth);
        readNodeBody(node, depth);
        return node;
    }

    void readLegacyHeader(Node& node) {
        node.id = static_cast<std::uint32_t>(src_.readInt("node id"));
        node.legacy.flagWord = static_cast<std::uint32_t>(src_.readInt("node flag word"));
        base::NodeAttributes attributes = base::splitLegacyFlags(node.legacy.flagWord);
        node.attrA = attributes.attrA;
        node.attrB = attributes.attrB;
        readNamesToTargets(node);
        node.kind = src_.readInt("node kind");
        readVectorsToIntC(node);
        node.legacy.zeroInt = src_.readInt("node int after intC");
        node.legacy.zeroFloat = src_.readFloat("node float after intC");
        node.legacy.zeroVector = readVector("node vector after intC");
    }

    void readHeader(Node& node) {
        std::int32_t marker = src_.readInt("node marker");
        if (marker != kNodeMarker) {
            src_.failAtValue("wrong node marker " + hex(static_cast<std::uint32_t>(marker)) + " (expected 0xFFF60948)");
        }
        node.kind = src_.readInt("node kind");
        node.id = static_cast<std::uint32_t>(src_.readInt("node id"));
        node.attrA = static_cast<std::uint32_t>(src_.readInt("node attrA"));
        node.attrB = static_cast<std::uint32_t>(src_.readInt("node attrB"));
        readNamesToTargets(node);
        readVectorsToIntC(node);
    }

    // Fields both layouts share, in the same order: the name to the targets, and
    void readNamesToTargets(Node& node) {
        node.name = src_.readString("node name");
        node.subName = src_.readString("node subName");
        node.type = src_.readInt("node type");
        node.vecA = readVector("node vecA");
        node.intA = src_.readInt("node intA");
        node.targetId1 = src_.readInt("node targetId1");
        node.targetId2 = src_.readInt("node targetId2");
    }

    // intB to intC (the old layout reads the kind between them).
    void readVectorsToIntC(Node& node) {
        node.intB = src_.readInt("node intB");
        node.vecB = readVector("node vecB");
        node.vecC = readVector("node vecC");
        node.vecD = readVector("node vecD");
        node.intC = src_.readInt("node intC");
    }

    void readNodePayload(Node& node) {
        node.dataFormat = src_.readInt("node dataFormat");
        node.dataSize = src_.readInt("node dataSize");
        std::size_t sizeAt = src_.valueOffset();
        readPayload(node.dataSize, sizeAt, node.byteSum, node.data, node.dataOffset, "node payload");
        if (options_.decodePayloads && node.type == 8 && !node.data.empty()) {
            try {
                node.mesh = decodeMeshPayload(node.dataFormat, node.data);
            } catch (const PayloadError& error) { failInPayload(node.dataOffset, error); }
            if (options_.meshRead) {
                options_.meshRead(*node.mesh);
                node.mesh.reset();
                std::vector<std::uint8_t>().swap(node.data);
            }
        }
    }

    // The node's motion items, then its children, up to its "}".
    void readNodeBody(Node& node, std::size_t depth) {
        bool childRead = false;
        for (;;) {
            std::string bracket = src_.readString("'(', '{' or '}'");
            std::size_t bracketAt = src_.valueOffset();
            if (bracket == "(") {
                if (childRead) src_.failAt(bracketAt, "motion item after a child node (motion items come first)");
                Motion motion = readMotion(bracketAt);
                if (visitor_) visitor_->motion(motion, depth);
                else node.motions.push_back(std::move(motion));
            } else if (bracket == "{") {
                childRead = true;
                Node child = readNode(bracketAt, depth + 1);
                if (!visitor_) node.children.push_back(std::move(child));
            } else if (bracket == "}") {
                if (visitor_) visitor_->nodeEnds(depth);
                return;
            } else {
                src_.failAt(bracketAt, "expected '(', '{' or '}', found \"" + bracket + "\"");
            }
        }
    }

    Motion readMotion(std::size_t at) {
        Motion motion;
        motion.offset = at;
        if (legacy_) {
            motion.name = src_.readString("motion name");
            motion.subName = src_.readString("motion subName");
            motion.key = src_.readInt("motion key");
            motion.legacy.keyed = src_.readInt("motion key flag");
            motion.legacy.flag10 = src_.readInt("motion flag 0x10");
            motion.legacy.flag20 = src_.readInt("motion flag 0x20");
            motion.intB = src_.readInt("motion intB");
            motion.weight = src_.readFloat("motion weight");
            motion.vecA = readVector("motion vecA");
            for (float& q : motion.legacy.quad) q = src_.readFloat("motion quad");
            motion.legacy.vectorB = readVector("motion second vector");
            motion.legacy.notFlag100 = src_.readInt("motion flag 0x100");
            motion.kind = src_.readInt("motion kind");
            motion.motionFlags = src_.readInt("motion motionFlags");
            motion.legacy.floatC = src_.readFloat("motion float after motionFlags");
            motion.legacy.vectorC = readVector("motion vector after motionFlags");
        } else {
            std::uint8_t marker = src_.readChar("motion marker");
            if (marker != kMotionMarker) {
                src_.failAtValue("wrong motion marker " + std::to_string(marker) + " (expected 255)");
            }
            motion.kind = src_.readInt("motion kind");
            motion.name = src_.readString("motion name");
            motion.subName = src_.readString("motion subName");
            motion.extraName = src_.readString("motion extraName");
            motion.key = src_.readInt("motion key");
            motion.intA = src_.readInt("motion intA");
            motion.motionFlags = src_.readInt("motion motionFlags");
            motion.intB = src_.readInt("motion intB");
            motion.weight = src_.readFloat("motion weight");
            motion.vecA = readVector("motion vecA");
            motion.intC = src_.readInt("motion intC");
            motion.floatB = src_.readFloat("motion floatB");
        }
        motion.dataFormat = src_.readInt("motion dataFormat");
        motion.dataSize = src_.readInt("motion dataSize");
        std::size_t sizeAt = src_.valueOffset();
        readPayload(motion.dataSize, sizeAt, motion.byteSum, motion.data, motion.dataOffset, "motion payload");
        if (options_.decodePayloads) {
            try {
                motion.payload = decodeMotionPayload(motion.name, motion.dataFormat, motion.data);
            } catch (const PayloadError& error) { failInPayload(motion.dataOffset, error); }
        }
        std::string close = src_.readString("')' of the motion item");
        if (close != ")") src_.failAtValue("expected ')' of the motion item, found \"" + close + "\"");
        return motion;
    }

    static std::string hex(std::uint32_t v) {
        static const char digits[] = "0123456789ABCDEF";
        std::string text = "0x";
        for (int shift = 28; shift >= 0; shift -= 4) text += digits[(v >> shift) & 0xF];
        return text;
    }

    ValueSource& src_;
    const ReadOptions& options_;
    TreeVisitor* visitor_;
    bool legacy_ = false;
    bool checksums_ = false;
};

}  // namespace

namespace {

QmxFile parseQmx(std::span<const std::uint8_t> bytes, const ReadOptions& options, TreeVisitor* visitor) {
    QmxFile file;
    static constexpr char kBinary[] = "BINARY";  // with its NUL: 7 bytes
    static constexpr char kAscii[] = "\"ASCII\"";
    std::unique_ptr<ValueSource> src;
    if (bytes.size() >= sizeof kBinary && std::memcmp(bytes.data(), kBinary, sizeof kBinary) == 0) {
        file.encoding = Encoding::Binary;
        src = makeBinarySource(bytes, sizeof kBinary);
    } else if (bytes.size() >= 7 && std::memcmp(bytes.data(), kAscii, 7) == 0) {
        file.encoding = Encoding::Ascii;
        src = makeAsciiSource(bytes, 7);
    } else {
        throw ReadError("offset 0: not a QMX file (it starts with neither \"BINARY\" nor \"ASCII\" in quotes)", 0, 0);
    }
    Parser(*src, options, visitor).readFile(file);
    return file;
}

}  // namespace

QmxFile readQmx(std::span<const std::uint8_t> bytes, const ReadOptions& options) {
    return parseQmx(bytes, options, nullptr);
}

void visitQmx(std::span<const std::uint8_t> bytes, TreeVisitor& visitor, const ReadOptions& options) {
    parseQmx(bytes, options, &visitor);
}

std::vector<std::uint8_t> readQmxBytes(const std::string& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!in) throw ReadError(path + ": cannot open the file", 0, 0);
    std::vector<std::uint8_t> bytes;
    // Sized once from the file's size: growing by doubling would hold up to
    // twice a large file while it is copied.
    std::error_code unknown;
    const std::uintmax_t size = std::filesystem::file_size(path, unknown);
    if (!unknown) bytes.reserve(static_cast<std::size_t>(size));
    std::uint8_t block[65536];
    std::size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, in.get())) > 0) bytes.insert(bytes.end(), block, block + got);
    if (std::ferror(in.get())) throw ReadError(path + ": cannot read the file", bytes.size(), 0);
    return bytes;
}

QmxFile readQmxFile(const std::string& path, const ReadOptions& options) {
    const std::vector<std::uint8_t> bytes = readQmxBytes(path);
    try {
        return readQmx(bytes, options);
    } catch (const ReadError& error) { throw ReadError(path + ": " + error.what(), error.offset(), error.line()); }
}

}  // namespace pelmora::qmxread
