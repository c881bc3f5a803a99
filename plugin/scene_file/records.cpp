#include "plugin/scene_file/records.h"

namespace pelmora {
namespace {

// Frees a payload only when both its size and its bytes are set, then
// zeroes both; a record with size 0 keeps its pointer as it is.
void releasePayload(std::uint8_t*& data, std::int32_t& dataSize) {
    if (dataSize != 0 && data != nullptr) {
        delete[] data;
        dataSize = 0;
        data = nullptr;
    }
}

// Hands `bytes` to the record after freeing what it held. An empty payload
// is freed at once: release would never free a block without a size.
void attachPayload(std::uint8_t*& data, std::int32_t& dataSize, std::uint8_t* bytes, std::int32_t size) {
    releasePayload(data, dataSize);
    if (size == 0) {
        delete[] bytes;
        bytes = nullptr;
    }
    data = bytes;
    dataSize = size;
}

}  // namespace

void NodeRecord::reset(bool legacy) {
    kind = legacy ? 4 : 5;
    id = 0;
    attrA = 0;
    attrB = 0;
    name[0] = '\0';
    subName[0] = '\0';
    type = 0;
    vecA = {};
    intA = 1;
    targetId1 = -1;
    targetId2 = -1;
    intB = 0;
    vecB = {};
    vecC = {};
    vecD = {};
    intC = -1;
    dataFormat = 1;
    dataSize = 0;
    data = nullptr;
}

int NodeRecord::fill(bool legacy, std::uint32_t nodeId, std::int32_t nodeType, const char* nodeName) {
    release();
    reset(legacy);
    id = nodeId;
    if (nodeName != nullptr && nodeName[0] != '\0') boundedCopy(name, nodeName, kNameLimit);
    type = nodeType;
    return 1;
}

void NodeRecord::attach(std::uint8_t* bytes, std::int32_t size, std::int32_t format) {
    attachPayload(data, dataSize, bytes, size);
    dataFormat = format;
}

void NodeRecord::release() { releasePayload(data, dataSize); }

void MotionRecord::reset(bool legacy) {
    kind = legacy ? 1 : 2;
    name[0] = '\0';
    subName[0] = '\0';
    extraName[0] = '\0';
    key = 0;
    intA = 0;
    motionFlags = 0;
    intB = 0;
    weight = 0.5f;
    vecA = {};
    intC = 0;
    floatB = 0.0f;
    dataFormat = 1;
    dataSize = 0;
    data = nullptr;
}

void MotionRecord::attach(std::uint8_t* bytes, std::int32_t size, std::int32_t format) {
    attachPayload(data, dataSize, bytes, size);
    dataFormat = format;
}

void MotionRecord::release() { releasePayload(data, dataSize); }

}  // namespace pelmora
