#include "qmxread/payload_decode.h"

#include <bit>
#include <cstring>
#include <sstream>

namespace pelmora::qmxread {

std::int32_t loadInt32(const std::uint8_t* p) {
    std::uint32_t v = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                      (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    return static_cast<std::int32_t>(v);
}

float loadFloat(const std::uint8_t* p) { return std::bit_cast<float>(static_cast<std::uint32_t>(loadInt32(p))); }

namespace {

std::uint16_t loadUint16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

DecodedField decodeField(const FieldDef& def, const std::uint8_t* payload) {
    DecodedField field;
    field.def = &def;
    const std::uint8_t* p = payload + def.offset;
    switch (def.type) {
        case FieldType::Int32:
            for (std::uint32_t i = 0; i < def.count; ++i) field.ints.push_back(loadInt32(p + 4 * i));
            break;
        case FieldType::Float:
            for (std::uint32_t i = 0; i < def.count; ++i) field.floats.push_back(loadFloat(p + 4 * i));
            break;
        case FieldType::Text: {
            // The array should hold a NUL; without one the whole array is the text.
            const void* nul = std::memchr(p, 0, def.count);
            std::size_t length = nul ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - p) : def.count;
            field.text.assign(reinterpret_cast<const char*>(p), length);
            break;
        }
    }
    return field;
}

}  // namespace

const DecodedField* DecodedPayload::find(const std::string& name) const {
    for (const DecodedField& field : fields) {
        if (name == field.def->name) return &field;
    }
    return nullptr;
}

std::int32_t DecodedPayload::intValue(const std::string& name, std::size_t index) const {
    const DecodedField* field = find(name);
    if (field == nullptr || index >= field->ints.size()) throw std::out_of_range("no int field " + name);
    return field->ints[index];
}

float DecodedPayload::floatValue(const std::string& name, std::size_t index) const {
    const DecodedField* field = find(name);
    if (field == nullptr || index >= field->floats.size()) throw std::out_of_range("no float field " + name);
    return field->floats[index];
}

const std::string& DecodedPayload::textValue(const std::string& name) const {
    const DecodedField* field = find(name);
    if (field == nullptr || field->def->type != FieldType::Text) throw std::out_of_range("no text field " + name);
    return field->text;
}

std::optional<DecodedPayload> decodeMotionPayload(const std::string& motionName, std::int32_t dataFormat,
                                                  std::span<const std::uint8_t> data) {
    if (data.empty() || !isDecodedMotionName(motionName.c_str())) return std::nullopt;
    std::ostringstream expected;
    for (const PayloadLayout& layout : payloadLayouts()) {
        if (motionName != layout.motionName) continue;
        if (layout.dataFormat == dataFormat && layout.size == data.size()) {
            DecodedPayload decoded;
            decoded.layout = &layout;
            for (const FieldDef& def : layout.fields) decoded.fields.push_back(decodeField(def, data.data()));
            return decoded;
        }
        if (expected.tellp() > 0) expected << " or ";
        expected << "dataFormat " << layout.dataFormat << " with " << layout.size << " bytes";
    }
    std::ostringstream message;
    message << motionName << " payload has dataFormat " << dataFormat << " and " << data.size() << " bytes; expected "
            << expected.str();
    throw PayloadError(message.str(), 0);
}

namespace {

// Walks the index data of a mesh payload with a bounds check on every read.
class IndexCursor {
public:
    IndexCursor(std::span<const std::uint8_t> data, std::size_t base, std::size_t width)
        : data_(data), base_(base), width_(width) {}

    std::size_t remaining() const { return (data_.size() - pos_) / width_; }
    std::size_t payloadOffset() const { return base_ + pos_; }
    bool atEnd() const { return pos_ == data_.size(); }

    std::int64_t next(const char* what) {
        if (data_.size() - pos_ < width_) {
            throw PayloadError(std::string("mesh index data ends inside ") + what, base_ + pos_);
        }
        const std::uint8_t* p = data_.data() + pos_;
        pos_ += width_;
        return width_ == 4 ? std::int64_t{loadInt32(p)} : std::int64_t{loadUint16(p)};
    }

private:
    std::span<const std::uint8_t> data_;
    std::size_t base_;
    std::size_t width_;
    std::size_t pos_ = 0;
};

std::vector<std::uint32_t> readIndexList(IndexCursor& cursor, std::int64_t count, std::int32_t vertexCount,
                                         const char* what) {
    std::size_t at = cursor.payloadOffset();
    if (count < 0 || static_cast<std::uint64_t>(count) > cursor.remaining()) {
        std::ostringstream message;
        message << "mesh " << what << " vertex count " << count << " does not fit in the index data";
        throw PayloadError(message.str(), at);
    }
    std::vector<std::uint32_t> indices;
    indices.reserve(static_cast<std::size_t>(count));
    for (std::int64_t i = 0; i < count; ++i) {
        std::size_t indexAt = cursor.payloadOffset();
        std::int64_t index = cursor.next("a polygon");
        if (index < 0 || index >= vertexCount) {
            std::ostringstream message;
            message << "mesh " << what << " index " << index << " outside the " << vertexCount << " vertices";
            throw PayloadError(message.str(), indexAt);
        }
        indices.push_back(static_cast<std::uint32_t>(index));
    }
    return indices;
}

void checkCounts(const MeshPayload& mesh, std::size_t headerBytes, std::size_t dataSize) {
    if (mesh.vertexCount < 0) throw PayloadError("mesh vertexCount is negative", 0);
    if (mesh.polygonCount < 0) throw PayloadError("mesh polygonCount is negative", mesh.legacy ? 8 : 4);
    if (mesh.indexBytes < 0) throw PayloadError("mesh indexBytes is negative", mesh.legacy ? 12 : 8);
    std::uint64_t expected = headerBytes + 12ull * static_cast<std::uint64_t>(mesh.vertexCount) +
                             static_cast<std::uint64_t>(mesh.indexBytes);
    if (expected != dataSize) {
        std::ostringstream message;
        message << "mesh payload of " << dataSize << " bytes does not match its counts (" << headerBytes << " + 12 x "
                << mesh.vertexCount << " vertices + " << mesh.indexBytes << " index bytes = " << expected << ")";
        throw PayloadError(message.str(), 0);
    }
    std::size_t width = mesh.legacy ? 2 : 4;
    if (static_cast<std::size_t>(mesh.indexBytes) % width != 0) {
        std::ostringstream message;
        message << "mesh indexBytes " << mesh.indexBytes << " is not a multiple of " << width;
        throw PayloadError(message.str(), mesh.legacy ? 12 : 8);
    }
}

// The header of either layout: the counts, the smoothing angle, the mapping.
void readMeshHeader(const std::uint8_t* p, MeshPayload& mesh) {
    if (mesh.legacy) {
        mesh.vertexCount = loadInt32(p);
        mesh.vertexBytes = loadInt32(p + 4);
        mesh.polygonCount = loadInt32(p + 8);
        mesh.indexBytes = loadInt32(p + 12);
        mesh.zeroA = loadInt32(p + 16);
        mesh.zeroB = loadInt32(p + 20);
        mesh.smoothingAngle = loadFloat(p + 24);
        mesh.mappingType = loadInt32(p + 28);
        mesh.minusOne = loadInt32(p + 32);
    } else {
        mesh.vertexCount = loadInt32(p);
        mesh.polygonCount = loadInt32(p + 4);
        mesh.indexBytes = loadInt32(p + 8);
        mesh.zeroA = loadInt32(p + 12);
        mesh.smoothingAngle = loadFloat(p + 16);
        mesh.mappingType = loadInt32(p + 20);
        mesh.minusOne = loadInt32(p + 24);
    }
}

// The holes after a polygon of the current layout: their count, then each
// its count, its indices and one more int.
void readHoles(IndexCursor& cursor, std::int32_t vertexCount, MeshPolygon& entry) {
    std::size_t holesAt = cursor.payloadOffset();
    std::int64_t holes = cursor.next("a polygon's hole count");
    if (holes < 0 || static_cast<std::uint64_t>(holes) > cursor.remaining()) {
        throw PayloadError("mesh hole count " + std::to_string(holes) + " does not fit in the index data", holesAt);
    }
    for (std::int64_t h = 0; h < holes; ++h) {
        std::int64_t m = cursor.next("a hole");
        entry.holes.push_back(readIndexList(cursor, m, vertexCount, "hole"));
        cursor.next("a hole");
    }
}

void readPolygons(IndexCursor& cursor, MeshPayload& mesh) {
    for (std::int32_t polygon = 0; polygon < mesh.polygonCount; ++polygon) {
        if (cursor.atEnd()) {
            throw PayloadError("mesh index data ends after " + std::to_string(polygon) + " of " +
                                   std::to_string(mesh.polygonCount) + " polygons",
                               cursor.payloadOffset());
        }
        MeshPolygon entry;
        std::int64_t n = cursor.next("a polygon");
        entry.indices = readIndexList(cursor, n, mesh.vertexCount, "polygon");
        if (!mesh.legacy) readHoles(cursor, mesh.vertexCount, entry);
        mesh.polygons.push_back(std::move(entry));
    }
    if (!cursor.atEnd()) {
        throw PayloadError(
            "mesh index data goes on after the last of " + std::to_string(mesh.polygonCount) + " polygons",
            cursor.payloadOffset());
    }
}

}  // namespace

MeshPayload decodeMeshPayload(std::int32_t dataFormat, std::span<const std::uint8_t> data) {
    MeshPayload mesh;
    if (dataFormat != 1 && dataFormat != 2) {
        throw PayloadError("mesh payload has dataFormat " + std::to_string(dataFormat) + "; expected 1 or 2", 0);
    }
    mesh.legacy = dataFormat == 1;
    const std::size_t headerBytes = mesh.legacy ? 36 : 40;
    if (data.size() < headerBytes) {
        throw PayloadError("mesh payload of " + std::to_string(data.size()) + " bytes is shorter than its " +
                               std::to_string(headerBytes) + "-byte header",
                           data.size());
    }
    const std::uint8_t* p = data.data();
    readMeshHeader(p, mesh);
    checkCounts(mesh, headerBytes, data.size());
    if (mesh.legacy && static_cast<std::int64_t>(mesh.vertexBytes) != 12ll * mesh.vertexCount) {
        throw PayloadError("mesh vertexBytes " + std::to_string(mesh.vertexBytes) + " is not 12 x vertexCount", 4);
    }

    mesh.vertices.reserve(static_cast<std::size_t>(mesh.vertexCount));
    for (std::int32_t i = 0; i < mesh.vertexCount; ++i) {
        const std::uint8_t* v = p + headerBytes + 12 * static_cast<std::size_t>(i);
        mesh.vertices.push_back(base::Vec3f{loadFloat(v), loadFloat(v + 4), loadFloat(v + 8)});
    }

    const std::size_t indexStart = headerBytes + 12 * static_cast<std::size_t>(mesh.vertexCount);
    IndexCursor cursor(data.subspan(indexStart), indexStart, mesh.legacy ? 2 : 4);
    readPolygons(cursor, mesh);
    return mesh;
}

}  // namespace pelmora::qmxread
