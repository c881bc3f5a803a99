// Builders of motion item payloads and of the mesh node payload. Each fills a
// record in the legacy or the current layout and gives a result code: 1
// filled, 2 nothing done, 4 out of memory (record left without payload), 0 failure.
#pragma once

#include <cstdint>

#include "plugin/payloads/payload_light.h"  // light_payload offsets, patched by the light source
#include "plugin/scene_file/records.h"

namespace pelmora {

// The motion kind names, by fixed index; "" for an index outside the table.
inline constexpr int kMotionNameCount = 47;
const char* motionName(int index);
enum MotionNameIndex : int {
    kNameTranslate = 0,
    kNameLightParameter = 4,
    kNameCameraParameter = 5,
    kNameMaterial = 8,
    kNameTexture = 11,
    kNameRendererModule6 = 44,
};

int motionTranslate(MotionRecord& record, bool legacy, std::int32_t key, const float point[3]);
int motionLightParameter(MotionRecord& record, bool legacy, std::int32_t key, std::int32_t lightType, float intensity,
                         std::int32_t lightMode, float lightE);
int motionCameraParameter(MotionRecord& record, bool legacy, std::int32_t key, std::uint8_t switchA, float viewAngle,
                          std::uint8_t switchB, std::uint8_t switchC, std::int32_t cameraValue,
                          const char* pictureName);

// Gives 2 and leaves the node untouched when vertices or polygon lists are
// null. `polygonLists` holds the mesh source's 32-bit lists (n, n indices, h,
// nested lists) in `indexBytes` bytes; `vertices` holds 3 floats per vertex.
// Otherwise fills the node as a mesh node (type 8) and attaches the payload;
// lists it cannot lay out (negative sizes, lists running past indexBytes and,
// in the legacy layout, counts or indices beyond 16 bits) give 0 with the node
// filled and no payload; out of memory gives 4 likewise.
int fillMeshNode(NodeRecord& node, bool legacy, std::uint32_t id, const char* name, std::int32_t vertexCount,
                 const float* vertices, std::int32_t polygonCount, std::int32_t indexBytes,
                 const std::int32_t* polygonLists, std::int32_t mappingType, float smoothingDegrees);

// The tree sources give their items and nodes as plain answers and cannot
// pass a builder's out-of-memory result on: a payload that could not be made
// would leave as an empty item in a file reported as written. Turns that
// result into std::bad_alloc, which the export's guard reports; gives the
// result otherwise.
int requireBuilt(int builderResult);

// The steps every motion builder begins with: frees a payload the record may
// still hold, resets it for the layout, sets the kind's name and the key.
void startMotion(MotionRecord& record, bool legacy, int nameIndex, std::int32_t key);

// Patch one 32-bit field of a payload already built (the light source sets
// lightFlag, axis and cone angles this way). Does nothing when the record has
// no payload or the field would lie outside it.
void setPayloadI32(MotionRecord& record, std::int32_t offset, std::int32_t value);
void setPayloadF32(MotionRecord& record, std::int32_t offset, float value);

}  // namespace pelmora
