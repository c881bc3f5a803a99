// The fixed records through which tree sources describe nodes and motion items
// to the writer, and the tree-source interface the writer walks. A record's
// payload (`data`) belongs to the record once set and is freed by release().
#pragma once

#include <cstdint>

#include "base/vec3.h"
#include "plugin/scene_file/bounded_copy.h"

namespace pelmora {

using base::Vec3f;

struct NodeRecord {
    std::int32_t kind = 5;
    std::uint32_t id = 0;
    std::uint32_t attrA = 0;
    std::uint32_t attrB = 0;
    char name[kNameArray] = {};
    char subName[kNameArray] = {};
    std::int32_t type = 0;
    Vec3f vecA;
    std::int32_t intA = 1;
    std::int32_t targetId1 = -1;
    std::int32_t targetId2 = -1;
    std::int32_t intB = 0;
    Vec3f vecB;
    Vec3f vecC;
    Vec3f vecD;
    std::int32_t intC = -1;
    std::int32_t dataFormat = 1;
    std::int32_t dataSize = 0;
    std::uint8_t* data = nullptr;

    NodeRecord() = default;
    ~NodeRecord() { release(); }
    NodeRecord(const NodeRecord&) = delete;
    NodeRecord& operator=(const NodeRecord&) = delete;

    // Every field to its default; kind 4 in the legacy layout, else 5. Does
    // not free a payload: release() first when one may be held.
    void reset(bool legacy);
    // reset, then id, name (bounded copy; null or empty leaves it empty) and type. Gives 1.
    int fill(bool legacy, std::uint32_t nodeId, std::int32_t nodeType, const char* nodeName);
    // Hands `bytes` (allocated with new[]) to the record; with size 0 they are
    // freed at once and `data` stays null.
    void attach(std::uint8_t* bytes, std::int32_t size, std::int32_t format);
    // Frees the payload when both dataSize and data are set; then zeroes both.
    void release();
};

struct MotionRecord {
    std::int32_t kind = 2;
    char name[kNameArray] = {};
    char subName[kNameArray] = {};
    char extraName[kNameArray] = {};
    std::int32_t key = 0;
    std::int32_t intA = 0;
    std::int32_t motionFlags = 0;
    std::int32_t intB = 0;
    float weight = 0.5f;
    Vec3f vecA;
    std::int32_t intC = 0;
    float floatB = 0.0f;
    std::int32_t dataFormat = 1;
    std::int32_t dataSize = 0;
    std::uint8_t* data = nullptr;

    MotionRecord() = default;
    ~MotionRecord() { release(); }
    MotionRecord(const MotionRecord&) = delete;
    MotionRecord& operator=(const MotionRecord&) = delete;

    // Every field to its default; kind 1 in the legacy layout, else 2.
    void reset(bool legacy);
    void attach(std::uint8_t* bytes, std::int32_t size, std::int32_t format);
    void release();
};

// One node of the scene tree as the writer sees it. The writer finishes a
// child (node, motion items, children) before asking for the next one, so a
// source may stand for several nodes in turn.
class TreeSource {
public:
    virtual ~TreeSource() = default;
    virtual void describe(bool legacy, NodeRecord& node) = 0;
    virtual unsigned childCount() { return 0; }
    virtual TreeSource* child(unsigned /*index*/) { return nullptr; }
    virtual unsigned motionCount() { return 0; }
    virtual bool motion(unsigned /*index*/, bool /*legacy*/, MotionRecord& /*record*/) { return false; }
};

}  // namespace pelmora
