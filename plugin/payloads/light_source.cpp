#include "plugin/payloads/light_source.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "plugin/host/services.h"
#include "plugin/payloads/light_identity.h"
#include "plugin/payloads/material_items.h"
#include "plugin/payloads/motion_builders.h"
#include "plugin/payloads/node_names.h"
#include "plugin/payloads/payload_light.h"
#include "plugin/payloads/property_value.h"
#include "plugin/payloads/scene_axes.h"
#include "plugin/payloads/scene_counters.h"

namespace pelmora {
namespace {

constexpr std::int32_t kTargetNodeType = 16;
constexpr std::int32_t kLightNodeType = 4;
constexpr double kTargetDistance = 3.0;  // metres from the light along its direction
constexpr float kLightE = 0.5f;
constexpr std::int32_t kSpotLight = 3;

// Values used when the host does not give a property: those the light
// parameter payload holds by default, so that a missing property changes nothing.
constexpr float kIntensityWhenMissing = 0.85f;
constexpr std::int16_t kKindWhenMissing = -1;  // no kind: light type 2

// The light's name as the host gives it (length-prefixed).
std::string objectName(HostHandle object) {
    HostName name{};
    host::getObjectName(object, name);
    return std::string(reinterpret_cast<const char*>(name + 1), name[0]);
}

std::string formatNumbered(const char* format, std::int32_t number) {
    char text[64];
    std::snprintf(text, sizeof text, format, static_cast<int>(number));
    return text;
}

float intensityOf(HostHandle object) {
    PropertyValue value;
    double given = 0.0;
    if (!value.fetch(object, host::kLightIntensity) || !value.read(given)) return kIntensityWhenMissing;
    return static_cast<float>(given * light_payload::kIntensityScale);
}

}  // namespace

void LightSource::describe(bool legacy, NodeRecord& node) {
    const std::int32_t id = movedId_ ? *movedId_ : readLightId(object_);
    // Unsigned, so that a stored id at the top of the int32 range cannot overflow.
    const auto targetId = static_cast<std::uint32_t>(id);
    const std::string name = objectName(object_);
    if (role_ == kRoleTargetNode) {
        const std::string nodeName = name.empty() ? formatNumbered(node_names::kUnnamedLightTarget, lightNameCounter)
                                                  : std::string(node_names::kLightTargetPrefix) + ">" + name;
        node.fill(legacy, targetId, kTargetNodeType, nodeName.c_str());
    } else if (role_ == kRoleLightNode) {
        std::string nodeName = name;
        if (name.empty()) nodeName = formatNumbered(node_names::kUnnamedLight, lightNameCounter++);
        node.fill(legacy, targetId + 1u, kLightNodeType, nodeName.c_str());
        node.targetId1 = id;
        node.targetId2 = id;
    }
}

unsigned LightSource::motionCount() { return role_ == kRoleTargetNode ? 1u : 3u; }

bool LightSource::motion(unsigned index, bool legacy, MotionRecord& record) {
    float point[3];
    if (role_ == kRoleTargetNode) {
        const MetrePoint position = toMetrePoint(pointProperty(object_, host::kLightPosition), baseHeight_);
        const MetrePoint d = toMetrePoint(pointProperty(object_, host::kLightDirection));
        const double length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
        MetrePoint aim = position;
        if (length != 0.0) {
            const double scale = kTargetDistance / length;
            aim = MetrePoint{position.x + d.x * scale, position.y + d.y * scale, position.z + d.z * scale};
        }
        toSceneAxes(aim, point);
        requireBuilt(motionTranslate(record, legacy, 0, point));
        return true;
    }
    switch (index) {
        case 0:
            toSceneAxes(toMetrePoint(pointProperty(object_, host::kLightPosition), baseHeight_), point);
            requireBuilt(motionTranslate(record, legacy, 0, point));
            break;
        case 1: {
            const HostPoint rgb = pointProperty(object_, host::kLightColour);
            const Colour4 diffuse{
                {static_cast<float>(rgb.x), static_cast<float>(rgb.y), static_cast<float>(rgb.z), 0.0f}};
            requireBuilt(
                motionMaterial(record, legacy, 0, intensityOf(object_), &diffuse, nullptr, nullptr, nullptr, nullptr));
            break;
        }
        case 2:
            lightParameter(legacy, record);
            break;
        default:
            break;  // nothing to fill; the item still counts as given
    }
    return true;
}

void LightSource::lightParameter(bool legacy, MotionRecord& record) {
    std::int32_t lightType = 2;
    switch (int16Property(object_, host::kLightKind, kKindWhenMissing)) {
        case host::kLightDirectional:
            lightType = 1;
            break;
        case host::kLightPoint:
            lightType = 2;
            break;
        case host::kLightSpot:
            lightType = 3;
            break;
        default:
            break;
    }
    const std::int32_t lightMode = boolProperty(object_, host::kLightMode, false) ? 2 : 1;
    requireBuilt(motionLightParameter(record, legacy, 0, lightType, intensityOf(object_), lightMode, kLightE));
    // The builder fills what every light has; the rest goes into the payload
    // just made. A record left without payload (out of memory) is left alone.
    if (record.data == nullptr || record.dataSize < light_payload::kSize) return;
    PropertyValue value;
    bool flag = false;
    if (value.fetch(object_, host::kLightFlag) && value.read(flag))
        setPayloadI32(record, light_payload::kLightFlag, flag ? 1 : 0);
    std::int16_t axis = -1;
    if (value.fetch(object_, host::kLightAxis) && value.read(axis) && axis >= 0 && axis <= 2) {
        for (int i = 0; i < 3; ++i) setPayloadF32(record, light_payload::kAxis + 4 * i, i == axis ? 1.0f : 0.0f);
    }
    if (lightType == kSpotLight) {
        double cone = 0.0;
        if (value.fetch(object_, host::kLightConeA) && value.read(cone))
            setPayloadF32(record, light_payload::kConeA, static_cast<float>(cone));
        if (value.fetch(object_, host::kLightConeB) && value.read(cone))
            setPayloadF32(record, light_payload::kConeB, static_cast<float>(cone));
    }
}

}  // namespace pelmora
