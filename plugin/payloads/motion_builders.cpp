#include "plugin/payloads/motion_builders.h"

#include <new>

#include <bit>
#include <cstddef>
#include <cstring>
#include <limits>

#include "plugin/payloads/payload_camera.h"
#include "plugin/payloads/payload_codec.h"
#include "plugin/payloads/payload_light.h"
#include "plugin/payloads/payload_mesh.h"
#include "plugin/payloads/payload_translate.h"
#include "plugin/scene_file/bounded_copy.h"
#include "plugin/scene_file/result_code.h"

namespace pelmora {

namespace {

constexpr const char* kMotionNames[kMotionNameCount] = {
    "motionTranslate",        // 0
    "motionScale",            // 1
    "motionRotate",           // 2
    "motionHeliodon",         // 3
    "motionLightParameter",   // 4
    "motionCameraParameter",  // 5
    "motionBgParameter",      // 6
    "motionMatrix",           // 7
    "motionMaterial",         // 8
    "motionFog",              // 9
    "motionSound",            // 10
    "motionTexture",          // 11
    "simpleShader",           // 12
    "4cShader",               // 13
    "shaderEdge",             // 14
    "shaderBg",               // 15
    "IncludePicture",         // 16
    "DepthOfField",           // 17
    "Glow",                   // 18
    "ToneMapping",            // 19
    "2DBordering",            // 20
    "Filtering",              // 21
    "InsertText",             // 22
    "motionTextTag",          // 23
    "DebugRaytrace",          // 24
    "motionShear",            // 25
    "motionCreateBox",        // 26
    "motionCreateGround",     // 27
    "motionCreateSphere",     // 28
    "motionCreateCylinder",   // 29
    "motionCreateCone",       // 30
    "motionCreateWedge",      // 31
    "motionCreateFence",      // 32
    "motionCreateFace",       // 33
    "motionCreateClipping",   // 34
    "PictureTo3D",            // 35
    "3DText",                 // 36
    "Building",               // 37
    "AdvancedShader",         // 38
    "RenderModule1",          // 39
    "RenderModule2",          // 40
    "RenderModule3",          // 41
    "RenderModule4",          // 42
    "RenderModule5",          // 43
    "RenderModule6",          // 44: the renderer named in camera parameters
    "RenderModule7",          // 45
    "RenderModule8",          // 46
};

constexpr std::int32_t kMeshNodeType = 8;

bool fits(const MotionRecord& record, std::int32_t offset) {
    return record.data != nullptr && offset >= 0 && record.dataSize >= 4 && offset <= record.dataSize - 4;
}

// ASCII-only case folding: picture extensions are plain letters.
bool equalsNoCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        char ca = *a, cb = *b;
        if (ca >= 'A' && ca <= 'Z') ca = static_cast<char>(ca - 'A' + 'a');
        if (cb >= 'A' && cb <= 'Z') cb = static_cast<char>(cb - 'A' + 'a');
        if (ca != cb) return false;
        if (ca == '\0') return true;
    }
}

// The picture writer follows the text after the picture name's last ".".
const char* pictureWriterFor(const char* pictureName) {
    static constexpr struct {
        const char* extension;
        const char* writer;
    } kWriters[] = {
        {"tga", "TGAPictWriter"},  {"bmp", "BMPPictWriter"},  {"wmv", "WMVPictWriter"},
        {"jpg", "JPGPictWriter"},  {"jpeg", "JPGPictWriter"}, {"tif", "TIFPictWriter"},
        {"tiff", "TIFPictWriter"}, {"pcx", "PCXPictWriter"},  {"png", "PNGPictWriter"},
    };
    constexpr const char* kFallback = "PNGPictWriter";
    if (pictureName == nullptr) return kFallback;
    const char* dot = std::strrchr(pictureName, '.');
    if (dot == nullptr) return kFallback;
    for (const auto& w : kWriters) {
        if (equalsNoCase(dot + 1, w.extension)) return w.writer;
    }
    return kFallback;
}

// Vertices are 32-bit floats, written little-endian whatever the host order.
void copyVertices(std::uint8_t* out, const float* vertices, std::size_t floatCount) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out, vertices, floatCount * sizeof(float));
    } else {
        for (std::size_t i = 0; i < floatCount; ++i) payload::putF32(out, i * 4, vertices[i]);
    }
}

void copyInt32s(std::uint8_t* out, const std::int32_t* values, std::size_t count) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out, values, count * sizeof(std::int32_t));
    } else {
        for (std::size_t i = 0; i < count; ++i) payload::putI32(out, i * 4, values[i]);
    }
}

constexpr std::uint64_t kMaxPayload = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());

int attachCurrentMesh(NodeRecord& node, std::int32_t vertexCount, const float* vertices, std::int32_t polygonCount,
                      std::int32_t indexBytes, const std::int32_t* lists, std::int32_t mappingType, float smoothing) {
    namespace layout = mesh_payload::current;
    // The lists are 32-bit values; a ragged byte count cannot be copied from them.
    if (indexBytes % 4 != 0) return kFailed;
    const std::uint64_t vertexBytes = static_cast<std::uint64_t>(vertexCount) * mesh_payload::kVertexBytes;
    const std::uint64_t size = layout::kHeaderSize + vertexBytes + static_cast<std::uint64_t>(indexBytes);
    if (size > kMaxPayload) return kFailed;

    // Every byte after the header is written below.
    std::uint8_t* buf = payload::allocateWithZeroedHead(static_cast<std::size_t>(size), layout::kHeaderSize);
    if (buf == nullptr) return kOutOfMemory;
    payload::writeDefaults(buf, layout::kDefaults);
    payload::putI32(buf, layout::kVertexCount, vertexCount);
    payload::putI32(buf, layout::kPolygonCount, polygonCount);
    payload::putI32(buf, layout::kIndexBytes, indexBytes);
    payload::putF32(buf, layout::kSmoothingAngle, smoothing);
    payload::putI32(buf, layout::kMappingType, mappingType);
    copyVertices(buf + layout::kHeaderSize, vertices, static_cast<std::size_t>(vertexCount) * 3);
    copyInt32s(buf + layout::kHeaderSize + vertexBytes, lists, static_cast<std::size_t>(indexBytes / 4));
    node.attach(buf, static_cast<std::int32_t>(size), layout::kFormat);
    return kDone;
}

// Counting pass over the 32-bit lists: the number of 16-bit values the legacy
// lists need (n and its n indices per polygon; holes are dropped). Gives false
// for a list that cannot be laid out or that runs past the given values.
bool countLegacyValues(const std::int32_t* lists, std::size_t total, std::int32_t polygonCount, std::uint64_t& count) {
    namespace layout = mesh_payload::legacy;
    std::size_t pos = 0;
    count = 0;
    for (std::int32_t p = 0; p < polygonCount; ++p) {
        if (pos >= total) return false;
        const std::int32_t n = lists[pos++];
        if (n < 0 || n > layout::kMaxPolygonVertices) return false;
        if (static_cast<std::size_t>(n) >= total - pos) return false;  // n indices and h must follow
        pos += static_cast<std::size_t>(n);
        count += static_cast<std::uint64_t>(n) + 1;
        const std::int32_t holes = lists[pos++];
        if (holes < 0) return false;
        for (std::int32_t h = 0; h < holes; ++h) {
            // A nested list occupies its first value plus 2 ints.
            if (pos >= total) return false;
            const std::int32_t m = lists[pos];
            if (m < 0 || static_cast<std::uint64_t>(m) + 2 > total - pos) return false;
            pos += static_cast<std::size_t>(m) + 2;
        }
    }
    return true;
}

// Converting pass, straight into the payload: n and its indices as 16-bit
// values. Gives false at the first index beyond 16 bits. The lists were
// checked by the counting pass.
bool convertLegacyLists(std::uint8_t* out, const std::int32_t* lists, std::int32_t polygonCount) {
    namespace layout = mesh_payload::legacy;
    std::size_t pos = 0;
    for (std::int32_t p = 0; p < polygonCount; ++p) {
        const std::int32_t n = lists[pos++];
        out[0] = static_cast<std::uint8_t>(n);
        out[1] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(n) >> 8);
        out += 2;
        const std::int32_t* index = lists + pos;
        for (std::int32_t i = 0; i < n; ++i) {
            const std::int32_t v = index[i];
            if (v < 0 || v > layout::kMaxIndex) return false;
            out[0] = static_cast<std::uint8_t>(v);
            out[1] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> 8);
            out += 2;
        }
        pos += static_cast<std::size_t>(n);
        const std::int32_t holes = lists[pos++];
        for (std::int32_t h = 0; h < holes; ++h) pos += static_cast<std::size_t>(lists[pos]) + 2;
    }
    return true;
}

int attachLegacyMesh(NodeRecord& node, std::int32_t vertexCount, const float* vertices, std::int32_t polygonCount,
                     std::int32_t indexBytes, const std::int32_t* lists, std::int32_t mappingType, float smoothing) {
    namespace layout = mesh_payload::legacy;
    std::uint64_t count = 0;
    if (!countLegacyValues(lists, static_cast<std::size_t>(indexBytes) / 4, polygonCount, count)) return kFailed;
    const std::uint64_t vertexBytes = static_cast<std::uint64_t>(vertexCount) * mesh_payload::kVertexBytes;
    const std::uint64_t listBytes = count * 2;
    const std::uint64_t size = layout::kHeaderSize + vertexBytes + listBytes;
    if (vertexBytes > kMaxPayload || size > kMaxPayload) return kFailed;

    // Every byte after the header is written below.
    std::uint8_t* buf = payload::allocateWithZeroedHead(static_cast<std::size_t>(size), layout::kHeaderSize);
    if (buf == nullptr) return kOutOfMemory;
    if (!convertLegacyLists(buf + layout::kHeaderSize + vertexBytes, lists, polygonCount)) {
        delete[] buf;
        return kFailed;
    }
    payload::writeDefaults(buf, layout::kDefaults);
    payload::putI32(buf, layout::kVertexCount, vertexCount);
    payload::putI32(buf, layout::kVertexBytesField, static_cast<std::int32_t>(vertexBytes));
    payload::putI32(buf, layout::kPolygonCount, polygonCount);
    payload::putI32(buf, layout::kIndexBytes, static_cast<std::int32_t>(listBytes));
    payload::putF32(buf, layout::kSmoothingAngle, smoothing);
    payload::putI32(buf, layout::kMappingType, mappingType);
    copyVertices(buf + layout::kHeaderSize, vertices, static_cast<std::size_t>(vertexCount) * 3);
    node.attach(buf, static_cast<std::int32_t>(size), layout::kFormat);
    return kDone;
}

}  // namespace

int requireBuilt(int builderResult) {
    if (builderResult == kOutOfMemory) throw std::bad_alloc();
    return builderResult;
}

const char* motionName(int index) {
    if (index < 0 || index >= kMotionNameCount) return "";
    return kMotionNames[index];
}

void startMotion(MotionRecord& record, bool legacy, int nameIndex, std::int32_t key) {
    record.release();
    record.reset(legacy);
    boundedCopy(record.name, motionName(nameIndex), kNameLimit);
    record.key = key;
}

void setPayloadI32(MotionRecord& record, std::int32_t offset, std::int32_t value) {
    if (fits(record, offset)) payload::putI32(record.data, static_cast<std::size_t>(offset), value);
}

void setPayloadF32(MotionRecord& record, std::int32_t offset, float value) {
    if (fits(record, offset)) payload::putF32(record.data, static_cast<std::size_t>(offset), value);
}

int motionTranslate(MotionRecord& record, bool legacy, std::int32_t key, const float point[3]) {
    namespace layout = translate_payload;
    startMotion(record, legacy, kNameTranslate, key);
    std::uint8_t* buf = payload::allocate(layout::kSize);
    if (buf == nullptr) return kOutOfMemory;
    if (point != nullptr) {
        payload::putF32(buf, layout::kX, point[0]);
        payload::putF32(buf, layout::kY, point[1]);
        payload::putF32(buf, layout::kZ, point[2]);
    }
    record.attach(buf, layout::kSize, layout::kFormat);
    return kDone;
}

int motionLightParameter(MotionRecord& record, bool legacy, std::int32_t key, std::int32_t lightType, float intensity,
                         std::int32_t lightMode, float lightE) {
    namespace layout = light_payload;
    startMotion(record, legacy, kNameLightParameter, key);
    std::uint8_t* buf = payload::allocate(layout::kSize);
    if (buf == nullptr) return kOutOfMemory;
    payload::writeDefaults(buf, layout::kDefaults);

    if (lightType < 1 || lightType > 3) lightType = layout::kDefaultLightType;
    if (legacy) {
        payload::putI32(buf, layout::kLightB, 0);
        intensity = intensity > 1.0f ? layout::kLegacyIntensityHigh : layout::kLegacyIntensityLow;
    }
    payload::putI32(buf, layout::kLightType, lightType);
    payload::putF32(buf, layout::kIntensity, intensity);
    payload::putI32(buf, layout::kLightMode, lightMode);
    payload::putF32(buf, layout::kLightE, lightE);
    record.attach(buf, layout::kSize, layout::kFormat);
    return kDone;
}

int motionCameraParameter(MotionRecord& record, bool legacy, std::int32_t key, std::uint8_t switchA, float viewAngle,
                          std::uint8_t switchB, std::uint8_t switchC, std::int32_t cameraValue,
                          const char* pictureName) {
    namespace cam = camera_payload;
    startMotion(record, legacy, kNameCameraParameter, key);
    const std::int32_t size = legacy ? cam::legacy::kSize : cam::current::kSize;
    std::uint8_t* buf = payload::allocate(static_cast<std::size_t>(size));
    if (buf == nullptr) return kOutOfMemory;

    const char* picture = pictureName != nullptr ? pictureName : "Image";
    const char* writer = pictureWriterFor(pictureName);
    const char* renderer = motionName(kNameRendererModule6);

    if (legacy) {
        namespace layout = cam::legacy;
        payload::writeDefaults(buf, layout::kDefaults);
        payload::putF32(buf, layout::kViewAngle, viewAngle);
        payload::putText(buf, layout::kPictureName, picture, cam::kPictureNameChars);
        payload::putText(buf, layout::kWriterName, writer, cam::kModuleNameChars);
        payload::putText(buf, layout::kRendererName, renderer, cam::kModuleNameChars);
        payload::putI32(buf, layout::kSwitchA, switchA);
        payload::putI32(buf, layout::kSwitchB, switchB);
        payload::putI32(buf, layout::kSwitchC, switchC);
        payload::putI32(buf, layout::kCameraValue, cameraValue);
        record.attach(buf, size, layout::kFormat);
    } else {
        namespace layout = cam::current;
        payload::writeDefaults(buf, layout::kDefaults);
        payload::putF32(buf, layout::kViewAngle, viewAngle);
        payload::putText(buf, layout::kPictureName, picture, cam::kPictureNameChars);
        payload::putText(buf, layout::kWriterName, writer, cam::kModuleNameChars);
        payload::putText(buf, layout::kRendererName, renderer, cam::kModuleNameChars);
        std::uint32_t bits = layout::kOptionBitsDefault;
        const auto follow = [&bits](std::uint32_t bit, bool on) { bits = on ? (bits | bit) : (bits & ~bit); };
        follow(layout::kBitSwitchA, switchA != 0);
        follow(layout::kBitSwitchB, switchB != 0);
        follow(layout::kBitSwitchC, switchC != 0);
        payload::putU32(buf, layout::kOptionBits, bits);
        payload::putI32(buf, layout::kCameraValue, cameraValue);
        record.attach(buf, size, layout::kFormat);
    }
    return kDone;
}

int fillMeshNode(NodeRecord& node, bool legacy, std::uint32_t id, const char* name, std::int32_t vertexCount,
                 const float* vertices, std::int32_t polygonCount, std::int32_t indexBytes,
                 const std::int32_t* polygonLists, std::int32_t mappingType, float smoothingDegrees) {
    if (vertices == nullptr || polygonLists == nullptr) return kNothingDone;
    node.fill(legacy, id, kMeshNodeType, name);
    if (vertexCount < 0 || polygonCount < 0 || indexBytes < 0) return kFailed;
    const float smoothing = smoothingDegrees * mesh_payload::kDegreesToRadians;
    return legacy ? attachLegacyMesh(node, vertexCount, vertices, polygonCount, indexBytes, polygonLists, mappingType,
                                     smoothing)
                  : attachCurrentMesh(node, vertexCount, vertices, polygonCount, indexBytes, polygonLists, mappingType,
                                      smoothing);
}

}  // namespace pelmora
