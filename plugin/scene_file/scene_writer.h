// Writes a scene description as one QMX file: the header of keyed values, then
// the node tree, each node with its motion items and then its children.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "plugin/scene_file/output_stream.h"
#include "plugin/scene_file/scene_description.h"

namespace pelmora {

class SceneWriter {
public:
    bool checksums = true;  // byte-sum before every payload (current layout only)
    bool legacy = false;    // legacy layout, version "1.25.2002"
    bool binary = true;     // BINARY encoding, else ASCII

    // Result code: 1 success, 0 failure, 4 out of memory, or what a tree source
    // passed up. An empty path or a null scene gives 0 and touches nothing.
    // Never 1 (or 2) when any byte failed to reach the file, the final flush
    // included. The scene's finish() hears the same result.
    int write(const char* path, SceneDescription* scene);

private:
    // Opens, writes the header and the tree, closes.
    int writeFile(const char* path);
    int writeHeader();

    // One node at `depth` with its values, motion items and children.
    int writeNode(TreeSource* node, unsigned depth);
    int writeNodeBody(TreeSource* node, const NodeRecord& record, unsigned depth);
    // The values between the braces; false when the node must end with 0.
    bool writeNodeValues(const NodeRecord& record, unsigned depth);
    bool writeLegacyNodeValues(const NodeRecord& record, unsigned depth);

    int writeMotions(TreeSource* node, unsigned depth);
    // The values between the parentheses; true when `dataSize` was written.
    bool writeMotionValues(const MotionRecord& record, unsigned depth);
    bool writeLegacyMotionValues(const MotionRecord& record, unsigned depth);

    // Encoders of one element each. Keys stand without indentation or line
    // end; values are indented to `depth` and end their line.
    void writeKey(const char* key);
    int writeBracket(const char* bracket, unsigned depth);
    void indentTo(unsigned depth);
    int valueInt(std::int32_t v, unsigned depth);
    int valueFloat(float v, unsigned depth);
    int valueVector(const Vec3f& v, unsigned depth);
    int valueQuad(const Quad4f& q, unsigned depth);
    int valueChar(unsigned char c, unsigned depth);
    int valueString(const char* text, unsigned depth);
    // A record's fixed text field, kept inside its array even when a source
    // left it without a terminator.
    int valueField(const char* field, unsigned depth);
    int valueByteSum(const std::uint8_t* data, std::int32_t size, unsigned depth);
    int valuePayload(const std::uint8_t* data, std::int32_t size, unsigned depth);
    // Remembers a write that did not reach the file.
    int note(int written);

    std::unique_ptr<OutputStream> stream_;
    SceneDescription* scene_ = nullptr;
    bool lostData_ = false;
};

}  // namespace pelmora
