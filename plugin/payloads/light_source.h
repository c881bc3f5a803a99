// The tree source of one drawing light: it stands for the light's target node
// (role 2) and its light node (role 1), as the root sets its role.
#pragma once

#include <cstdint>
#include <optional>

#include "plugin/host/host_abi.h"
#include "plugin/scene_file/records.h"

namespace pelmora {

// The roles the root gives a light source before handing it out.
inline constexpr std::int32_t kRoleLightNode = 1;
inline constexpr std::int32_t kRoleTargetNode = 2;

class LightSource : public TreeSource {
public:
    LightSource(HostHandle object, double baseHeight, std::int32_t nodeCount)
        : object_(object), baseHeight_(baseHeight), nodeCount_(nodeCount) {}

    void describe(bool legacy, NodeRecord& node) override;
    unsigned motionCount() override;
    bool motion(unsigned index, bool legacy, MotionRecord& record) override;

    HostHandle object() const { return object_; }
    std::int32_t nodeCount() const { return nodeCount_; }
    double baseHeight() const { return baseHeight_; }
    std::int32_t role() const { return role_; }
    void setRole(std::int32_t role) { role_ = role; }
    // The id L written in place of the one the light's record holds, when
    // that one collides with another node's; none: the record's.
    void setMovedId(std::optional<std::int32_t> id) { movedId_ = id; }

private:
    // The motionLightParameter item, with the properties the builder does not take.
    void lightParameter(bool legacy, MotionRecord& record);

    HostHandle object_;
    std::int32_t role_ = 0;
    std::optional<std::int32_t> movedId_;
    double baseHeight_;
    std::int32_t nodeCount_;
};

}  // namespace pelmora
