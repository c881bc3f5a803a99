// Builders of motion item payloads and of the mesh node payload. Each fills a
// record in the legacy or the current layout and gives a result code: 1
// filled, 2 nothing done, 4 out of memory (record left without payload), 0 failure.
#pragma once

#include <cstdint>

#include "scene_file/records.h"

namespace pelmora {

// The motion kind names, by fixed index.
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
int motionLightParameter(MotionRecord& record, bool legacy, std::int32_t key, std::int32_t lightType,
                         float intensity, std::int32_t lightMode, float lightE);
int motionCameraParameter(MotionRecord& record, bool legacy, std::int32_t key, std::uint8_t switchA, float viewAngle,
                          std::uint8_t switchB, std::uint8_t switchC, std::int32_t cameraValue,
                          const char* pictureName);

// Gives 2 and leaves the node untouched when vertices or polygon lists are
// null. `polygonLists` holds the mesh source's 32-bit lists (n, n indices, h,
// nested lists); `vertices` holds 3 floats per vertex.
int fillMeshNode(NodeRecord& node, bool legacy, std::uint32_t id, const char* name, std::int32_t vertexCount,
                 const float* vertices, std::int32_t polygonCount, std::int32_t indexBytes,
                 const std::int32_t* polygonLists, std::int32_t mappingType, float smoothingDegrees);

// Offsets into the payloads that callers patch after building (light parameters).
namespace light_payload {
inline constexpr int kLightType = 0;
inline constexpr int kLightFlag = 4;
inline constexpr int kIntensity = 12;
inline constexpr int kConeA = 16;
inline constexpr int kConeB = 20;
inline constexpr int kAxis = 32;
inline constexpr int kLightMode = 44;
inline constexpr int kLightE = 48;
inline constexpr int kSize = 72;
}  // namespace light_payload

}  // namespace pelmora
