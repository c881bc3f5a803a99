// Decodes motion payloads by the tables of payload_layouts.h and the mesh node
// payload with its lists; faults throw PayloadError with the payload offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/vec3.h"
#include "qmxread/payload_layouts.h"

namespace pelmora::qmxread {

class PayloadError : public std::runtime_error {
public:
    PayloadError(const std::string& message, std::size_t payloadOffset)
        : std::runtime_error(message), payloadOffset_(payloadOffset) {}
    std::size_t payloadOffset() const { return payloadOffset_; }

private:
    std::size_t payloadOffset_;
};

struct DecodedField {
    const FieldDef* def = nullptr;
    std::vector<std::int32_t> ints;  // FieldType::Int32
    std::vector<float> floats;       // FieldType::Float
    std::string text;                // FieldType::Text
};

struct DecodedPayload {
    const PayloadLayout* layout = nullptr;
    std::vector<DecodedField> fields;  // in payload order

    const DecodedField* find(const std::string& name) const;
    // Convenience for one-element fields; throw std::out_of_range for an unknown name.
    std::int32_t intValue(const std::string& name, std::size_t index = 0) const;
    float floatValue(const std::string& name, std::size_t index = 0) const;
    const std::string& textValue(const std::string& name) const;
};

// Gives nothing for an empty payload or a motion name without a table; throws
// PayloadError when the name is known but no table has this format and size.
std::optional<DecodedPayload> decodeMotionPayload(const std::string& motionName, std::int32_t dataFormat,
                                                  std::span<const std::uint8_t> data);

struct MeshPolygon {
    std::vector<std::uint32_t> indices;
    std::vector<std::vector<std::uint32_t>> holes;  // current layout only
};

struct MeshPayload {
    bool legacy = false;  // dataFormat 1 (16-bit lists) instead of 2
    std::int32_t vertexCount = 0;
    std::int32_t vertexBytes = 0;  // legacy only: 12 × vertexCount
    std::int32_t polygonCount = 0;
    std::int32_t indexBytes = 0;
    float smoothingAngle = 0.0f;  // radians
    std::int32_t mappingType = 0;
    std::int32_t zeroA = 0;      // the int32 0 after indexBytes
    std::int32_t zeroB = 0;      // legacy only: the second int32 0
    std::int32_t minusOne = -1;  // the int32 -1 after mappingType
    std::vector<base::Vec3f> vertices;
    std::vector<MeshPolygon> polygons;
};

// dataFormat 2: current layout, 1: legacy. Checks that the counts, the sizes
// and every index agree with the payload; throws PayloadError otherwise.
MeshPayload decodeMeshPayload(std::int32_t dataFormat, std::span<const std::uint8_t> data);

// Little-endian reads from a payload (no bounds check: callers check).
std::int32_t loadInt32(const std::uint8_t* p);
float loadFloat(const std::uint8_t* p);

}  // namespace pelmora::qmxread
