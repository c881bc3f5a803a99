// The plain in-memory tree of a QMX file as read: every value in file order,
// raw payload bytes included, so that the file can be written again exactly.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/vec3.h"
#include "qmxread/payload_decode.h"

namespace pelmora::qmxread {

// The node types the exporter writes for what a scene holds.
inline constexpr std::int32_t kCameraNode = 2;
inline constexpr std::int32_t kLightNode = 4;
inline constexpr std::int32_t kMeshNode = 8;

enum class Encoding { Binary, Ascii };
enum class Layout { Current, Legacy };

inline constexpr const char* kCurrentVersion = "2.02.2010";
inline constexpr const char* kLegacyVersion = "1.25.2002";

struct HeaderEntry {
    enum class Type { String, Int, Bare };
    std::string key;
    Type type = Type::Bare;
    std::string text;         // Type::String
    std::int32_t number = 0;  // Type::Int
    std::size_t offset = 0;   // where the key starts
};

struct Header {
    std::vector<HeaderEntry> entries;  // in file order
    Layout layout = Layout::Current;
    bool checksums = false;  // the bare key "CheckSum" was present

    const HeaderEntry* find(const std::string& key) const;
};

// Values only the legacy layout writes (besides the shared ones).
struct LegacyNodeValues {
    std::uint32_t flagWord = 0;  // attrA/attrB folded into one word
    std::int32_t zeroInt = 0;
    float zeroFloat = 0.0f;
    base::Vec3f zeroVector;
};

struct LegacyMotionValues {
    std::int32_t keyed = 1;   // 0 when key is 0 and motionFlags has 0x80
    std::int32_t flag10 = 0;  // motionFlags & 0x10
    std::int32_t flag20 = 0;  // motionFlags & 0x20
    std::array<float, 4> quad{};
    base::Vec3f vectorB;
    std::int32_t notFlag100 = 1;  // 0 when motionFlags has 0x100
    float floatC = 0.0f;
    base::Vec3f vectorC;
};

struct Motion {
    std::int32_t kind = 2;
    std::string name;
    std::string subName;
    std::string extraName;  // current layout only
    std::int32_t key = 0;
    std::int32_t intA = 0;  // current layout only
    std::int32_t motionFlags = 0;
    std::int32_t intB = 0;
    float weight = 0.5f;
    base::Vec3f vecA;
    std::int32_t intC = 0;  // current layout only
    float floatB = 0.0f;    // current layout only
    std::int32_t dataFormat = 1;
    std::int32_t dataSize = 0;
    std::optional<std::uint32_t> byteSum;  // as stored in the file
    std::vector<std::uint8_t> data;
    LegacyMotionValues legacy;  // legacy layout only

    std::size_t offset = 0;                 // of the opening "("
    std::size_t dataOffset = 0;             // of the first payload byte (or its text)
    std::optional<DecodedPayload> payload;  // when decoding was asked for

    // A decoded field of the payload; none when there is no such field or nothing was decoded.
    const DecodedField* field(const std::string& fieldName) const {
        return payload ? payload->find(fieldName) : nullptr;
    }
};

struct Node {
    std::int32_t kind = 5;
    std::uint32_t id = 0;
    std::uint32_t attrA = 0;
    std::uint32_t attrB = 0;
    std::string name;
    std::string subName;
    std::int32_t type = 0;
    base::Vec3f vecA;
    std::int32_t intA = 1;
    std::int32_t targetId1 = -1;
    std::int32_t targetId2 = -1;
    std::int32_t intB = 0;
    base::Vec3f vecB;
    base::Vec3f vecC;
    base::Vec3f vecD;
    std::int32_t intC = -1;
    std::int32_t dataFormat = 1;
    std::int32_t dataSize = 0;
    std::optional<std::uint32_t> byteSum;
    std::vector<std::uint8_t> data;
    LegacyNodeValues legacy;  // legacy layout only

    std::vector<Motion> motions;
    std::vector<Node> children;

    std::size_t offset = 0;  // of the opening "{"
    std::size_t dataOffset = 0;
    std::optional<MeshPayload> mesh;  // when decoding was asked for and the node is a mesh

    // The first motion item of that name with a decoded payload; none without one.
    const Motion* motion(const std::string& motionName) const {
        for (const Motion& item : motions)
            if (item.name == motionName && item.payload) return &item;
        return nullptr;
    }
};

struct QmxFile {
    Encoding encoding = Encoding::Binary;
    Header header;
    std::vector<Node> roots;  // normally exactly one
};

}  // namespace pelmora::qmxread
