// Replays a read QMX file through the plug-in's scene writer: tree sources and
// a scene description that give back exactly the values that were read.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "plugin/scene_file/scene_description.h"
#include "qmxread/qmx_tree.h"

namespace pelmora::tool {

// Why the writer could not give back this file's values as they stand (a
// header in another order, a text too long for a record, legacy values that
// the writer derives differently...); empty when it can.
std::string replayObstacle(const qmxread::QmxFile& file);

class ReplayNode : public TreeSource {
public:
    explicit ReplayNode(const qmxread::Node& node);
    void describe(bool legacy, NodeRecord& record) override;
    unsigned childCount() override;
    TreeSource* child(unsigned index) override;
    unsigned motionCount() override;
    bool motion(unsigned index, bool legacy, MotionRecord& record) override;

private:
    const qmxread::Node& node_;
    std::vector<std::unique_ptr<ReplayNode>> children_;
};

class ReplayScene : public SceneDescription {
public:
    explicit ReplayScene(const qmxread::QmxFile& file);
    int version(bool legacy, char* out) override;
    int machine(char* out) override;
    int client(char* out) override;
    std::int32_t subFormat() override;
    std::int32_t itFlags() override;
    std::int32_t fps() override;
    std::int32_t maxTime() override;
    unsigned rootCount() override;
    TreeSource* root(unsigned index) override;

private:
    int text(const char* key, char* out) const;
    std::int32_t number(const char* key) const;

    const qmxread::QmxFile& file_;
    std::vector<std::unique_ptr<ReplayNode>> roots_;
};

}  // namespace pelmora::tool
