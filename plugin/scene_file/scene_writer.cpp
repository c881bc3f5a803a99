#include "plugin/scene_file/scene_writer.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <new>

#include "base/legacy_flags.h"
#include "plugin/scene_file/byte_sum.h"
#include "plugin/scene_file/result_code.h"

namespace pelmora {

namespace {

constexpr std::int32_t kNodeMarker = -652984;  // 0xFFF60948
constexpr unsigned char kMotionMarker = 255;
constexpr const char* kUnnamedNode = "Node";
constexpr std::int32_t kLegacyMinNodeKind = 4;

// Legacy motion values derived from the flag bits.
constexpr std::int32_t kFlagNoKeyAtZero = 0x80;
constexpr std::int32_t kFlagFirst = 0x10;
constexpr std::int32_t kFlagSecond = 0x20;
constexpr std::int32_t kFlagOff = 0x100;

bool hasFlag(std::int32_t flags, std::int32_t bit) { return (flags & bit) != 0; }

}  // namespace

int SceneWriter::write(const char* path, SceneDescription* scene) {
    if (path == nullptr || path[0] == '\0' || scene == nullptr) return kFailed;
    scene_ = scene;
    lostData_ = false;
    int result = scene_->begin();
    if (result == kDone) result = writeFile(path);
    scene_->finish(result);
    scene_ = nullptr;
    return result;
}

int SceneWriter::writeFile(const char* path) {
    assert(scene_ != nullptr && path != nullptr);  // only within write()
    if (stream_) stream_->close();
    else stream_.reset(new (std::nothrow) OutputStream);
    if (!stream_) return kOutOfMemory;

    int result = kFailed;
    if (stream_->open(path, binary, false)) {
        result = writeHeader();
        // A full disk may show only when the buffer goes out: never call a
        // file written that did not reach the disk.
        note(stream_->close());
        if (lostData_ && succeeded(result)) result = kFailed;
    }
    stream_.reset();
    return result;
}

int SceneWriter::writeHeader() {
    if (binary) {
        writeKey("BINARY");
    } else {
        writeKey("ASCII");
        note(stream_->lineEnd());
    }

    char text[kNameArray] = {};
    int result = scene_->version(legacy, text);
    if (result == kDone) {
        writeKey("version");
        if (!valueString(text, 0)) result = kFailed;
    }
    if (result == kDone) {
        result = scene_->machine(text);
        if (result == kDone) {
            writeKey("machine");
            if (!valueString(text, 0)) result = kFailed;
        }
    }
    if (result == kDone) {
        scene_->client(text);
        writeKey("client");
        if (!valueString(text, 0)) result = kFailed;
    }
    if (result == kDone && !legacy) {
        writeKey("SubFormat");
        if (!valueInt(scene_->subFormat(), 0)) result = kFailed;
    }
    if (result == kDone && !legacy) {
        writeKey("ITFlags");
        if (!valueInt(scene_->itFlags(), 0)) result = kFailed;
    }
    if (result == kDone) {
        writeKey("FPS");
        if (!valueInt(scene_->fps(), 0)) result = kFailed;
    }
    if (result == kDone) {
        writeKey("maxTime");
        if (!valueInt(scene_->maxTime(), 0)) result = kFailed;
    }
    if (result == kDone) {
        // A bare key: every payload that follows carries its byte-sum.
        if (checksums && !legacy) writeKey("CheckSum");
        for (unsigned index = 0; index < scene_->rootCount() && result != kFailed; ++index) {
            TreeSource* root = scene_->root(index);
            if (root == nullptr) continue;
            const int r = writeNode(root, 0);
            if (!succeeded(r)) result = r;
        }
    }
    return result;
}

int SceneWriter::writeNode(TreeSource* node, unsigned depth) {
    assert(scene_ != nullptr);
    NodeRecord record;
    record.reset(legacy);
    const int described = scene_->describeNode(node, legacy, &record);
    if (described != kDone) return described;
    const int result = writeNodeBody(node, record, depth);
    scene_->releaseNode(node, &record);
    return result;
}

int SceneWriter::writeNodeBody(TreeSource* node, const NodeRecord& record, unsigned depth) {
    if (!writeBracket("{", depth)) return kFailed;
    const bool valuesWritten = legacy ? writeLegacyNodeValues(record, depth + 1) : writeNodeValues(record, depth + 1);
    if (!valuesWritten) return kFailed;

    const int motions = writeMotions(node, depth + 1);
    if (!succeeded(motions)) return motions;

    int result = kFailed;
    const unsigned children = scene_->childCount(node);
    for (unsigned index = 0; index < children; ++index) {
        TreeSource* child = scene_->child(node, index);
        if (child == nullptr) continue;
        const int r = writeNode(child, depth + 1);
        if (!succeeded(r)) {
            result = r;
            break;
        }
    }
    if (writeBracket("}", depth)) result = kDone;
    return result;
}

bool SceneWriter::writeNodeValues(const NodeRecord& r, unsigned d) {
    valueInt(kNodeMarker, d);
    valueInt(r.kind, d);
    valueInt(static_cast<std::int32_t>(r.id), d);
    valueInt(static_cast<std::int32_t>(r.attrA), d);
    valueInt(static_cast<std::int32_t>(r.attrB), d);
    valueField(r.name[0] != '\0' ? r.name : kUnnamedNode, d);
    valueField(r.subName, d);
    valueInt(r.type, d);
    valueVector(r.vecA, d);
    valueInt(r.intA, d);
    valueInt(r.targetId1, d);
    valueInt(r.targetId2, d);
    valueInt(r.intB, d);
    valueVector(r.vecB, d);
    valueVector(r.vecC, d);
    valueVector(r.vecD, d);
    valueInt(r.intC, d);
    valueInt(r.dataFormat, d);
    if (!valueInt(r.dataSize, d)) return false;
    if (r.dataSize == 0) return true;
    if (checksums && !valueByteSum(r.data, r.dataSize, d)) return false;
    valuePayload(r.data, r.dataSize, d);
    return true;
}

bool SceneWriter::writeLegacyNodeValues(const NodeRecord& r, unsigned d) {
    valueInt(static_cast<std::int32_t>(r.id), d);
    valueInt(static_cast<std::int32_t>(base::foldLegacyFlags({r.attrA, r.attrB})), d);
    valueField(r.name[0] != '\0' ? r.name : kUnnamedNode, d);
    valueField(r.subName, d);
    valueInt(r.type, d);
    valueVector(r.vecA, d);
    valueInt(r.intA, d);
    valueInt(r.targetId1, d);
    valueInt(r.targetId2, d);
    valueInt(std::max(r.kind, kLegacyMinNodeKind), d);
    valueInt(r.intB, d);
    valueVector(r.vecB, d);
    valueVector(r.vecC, d);
    valueVector(r.vecD, d);
    valueInt(r.intC, d);
    valueInt(0, d);
    valueFloat(0.0f, d);
    valueVector(Vec3f{}, d);
    valueInt(r.dataFormat, d);
    if (!valueInt(r.dataSize, d)) return false;
    if (r.dataSize != 0) valuePayload(r.data, r.dataSize, d);
    return true;
}

int SceneWriter::writeMotions(TreeSource* node, unsigned depth) {
    assert(scene_ != nullptr);
    if (node == nullptr) return kFailed;
    const unsigned count = scene_->motionCount(node);
    if (count == 0) return kDone;

    // The last item that did not fail decides: 2 when skipped, 1 when closed.
    int result = kFailed;
    for (unsigned index = 0; index < count; ++index) {
        MotionRecord record;
        record.reset(legacy);
        const int r = scene_->getMotion(node, index, legacy, &record);
        if (r != kDone) {
            result = r;
        } else if (writeBracket("(", depth)) {
            const bool sizeWritten =
                legacy ? writeLegacyMotionValues(record, depth + 1) : writeMotionValues(record, depth + 1);
            if (sizeWritten && writeBracket(")", depth)) result = kDone;
        }
        // Also after a skip: a source may have attached a payload before
        // reporting that it had nothing to give.
        scene_->releaseMotion(node, index, &record);
    }
    return result;
}

bool SceneWriter::writeMotionValues(const MotionRecord& r, unsigned d) {
    valueChar(kMotionMarker, d);
    valueInt(r.kind, d);
    valueField(r.name, d);
    valueField(r.subName, d);
    valueField(r.extraName, d);
    valueInt(r.key, d);
    valueInt(r.intA, d);
    valueInt(r.motionFlags, d);
    valueInt(r.intB, d);
    valueFloat(r.weight, d);
    valueVector(r.vecA, d);
    valueInt(r.intC, d);
    valueFloat(r.floatB, d);
    valueInt(r.dataFormat, d);
    const bool sizeWritten = valueInt(r.dataSize, d) != 0;
    if (r.dataSize != 0) {
        // Here a failed byte-sum does not end the item.
        if (checksums) valueByteSum(r.data, r.dataSize, d);
        valuePayload(r.data, r.dataSize, d);
    }
    return sizeWritten;
}

bool SceneWriter::writeLegacyMotionValues(const MotionRecord& r, unsigned d) {
    const std::int32_t flags = r.motionFlags;
    valueField(r.name, d);
    valueField(r.subName, d);
    valueInt(r.key, d);
    valueInt(r.key == 0 && hasFlag(flags, kFlagNoKeyAtZero) ? 0 : 1, d);
    valueInt(hasFlag(flags, kFlagFirst) ? 1 : 0, d);
    valueInt(hasFlag(flags, kFlagSecond) ? 1 : 0, d);
    valueInt(r.intB, d);
    valueFloat(r.weight, d);
    valueVector(r.vecA, d);
    valueQuad(Quad4f{}, d);
    valueVector(Vec3f{}, d);
    valueInt(hasFlag(flags, kFlagOff) ? 0 : 1, d);
    valueInt(r.kind, d);
    valueInt(flags, d);
    valueFloat(0.0f, d);
    valueVector(Vec3f{}, d);
    valueInt(r.dataFormat, d);
    const bool sizeWritten = valueInt(r.dataSize, d) != 0;
    if (r.dataSize != 0) valuePayload(r.data, r.dataSize, d);
    return sizeWritten;
}

int SceneWriter::note(int written) {
    if (written == 0) lostData_ = true;
    return written;
}

void SceneWriter::writeKey(const char* key) { note(stream_->writeString(key, false)); }

void SceneWriter::indentTo(unsigned depth) {
    // BINARY has no layout characters; its indent gives 0 by design.
    if (!stream_->isBinary()) note(stream_->indent(depth));
}

int SceneWriter::writeBracket(const char* bracket, unsigned depth) { return valueString(bracket, depth); }

int SceneWriter::valueInt(std::int32_t v, unsigned depth) {
    indentTo(depth);
    return note(stream_->writeInt(v, true));
}

int SceneWriter::valueFloat(float v, unsigned depth) {
    indentTo(depth);
    return note(stream_->writeFloat(v, true));
}

int SceneWriter::valueVector(const Vec3f& v, unsigned depth) {
    indentTo(depth);
    return note(stream_->writeVector(v, true));
}

int SceneWriter::valueQuad(const Quad4f& q, unsigned depth) {
    indentTo(depth);
    return note(stream_->writeQuad(q, true));
}

int SceneWriter::valueChar(unsigned char c, unsigned depth) {
    indentTo(depth);
    return note(stream_->writeChar(c, true));
}

int SceneWriter::valueString(const char* text, unsigned depth) {
    indentTo(depth);
    return note(stream_->writeString(text, true));
}

int SceneWriter::valueField(const char* field, unsigned depth) {
    if (std::memchr(field, '\0', kNameArray) != nullptr) return valueString(field, depth);
    char bounded[kNameArray] = {};
    std::memcpy(bounded, field, kNameLimit - 1);
    return valueString(bounded, depth);
}

int SceneWriter::valueByteSum(const std::uint8_t* data, std::int32_t size, unsigned depth) {
    const std::uint32_t sum = size > 0 ? byteSum(data, static_cast<std::size_t>(size)) : 0;
    return valueInt(static_cast<std::int32_t>(sum), depth);
}

int SceneWriter::valuePayload(const std::uint8_t* data, std::int32_t size, unsigned depth) {
    // A size without bytes behind it (or a negative one) cannot be written;
    // the file would not match its own dataSize.
    if (data == nullptr || size <= 0) return note(0);
    indentTo(depth);
    return note(stream_->writeBytes(data, static_cast<std::size_t>(size), true));
}

}  // namespace pelmora
