// What the writer is handed: the root tree source and the header values. The
// operations are virtual so that a replay of a read file can give its own.
#pragma once

#include <cstdint>

#include "plugin/scene_file/records.h"

namespace pelmora {

class SceneDescription {
public:
    explicit SceneDescription(TreeSource* root = nullptr) : root_(root) {}
    virtual ~SceneDescription() = default;

    virtual int begin();
    virtual int version(bool legacy, char* out);  // out: 256 bytes
    virtual int machine(char* out);
    virtual int client(char* out);
    virtual std::int32_t subFormat();
    virtual std::int32_t itFlags();
    virtual std::int32_t fps();
    virtual std::int32_t maxTime();
    virtual unsigned rootCount();
    virtual TreeSource* root(unsigned index);
    // The walk over the tree sources; virtual as well, so that a caller can
    // watch what the writer asks for and gives back.
    virtual unsigned childCount(TreeSource* node);
    virtual TreeSource* child(TreeSource* node, unsigned index);
    virtual int describeNode(TreeSource* node, bool legacy, NodeRecord* record);
    virtual int releaseNode(TreeSource* node, NodeRecord* record);
    virtual unsigned motionCount(TreeSource* node);
    virtual int getMotion(TreeSource* node, unsigned index, bool legacy, MotionRecord* record);
    virtual int releaseMotion(TreeSource* node, unsigned index, MotionRecord* record);
    virtual int finish(int result);

private:
    TreeSource* root_;
};

}  // namespace pelmora
