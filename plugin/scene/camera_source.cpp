#include "plugin/scene/camera_source.h"

#include <cmath>
#include <limits>

#include "plugin/collect/collection.h"
#include "plugin/host/chain_walk.h"
#include "plugin/host/qmx_exception.h"
#include "plugin/host/services.h"
#include "plugin/payloads/motion_builders.h"
#include "plugin/payloads/node_names.h"
#include "plugin/payloads/payload_camera.h"
#include "plugin/payloads/scene_axes.h"
#include "plugin/payloads/scene_counters.h"

namespace pelmora {
namespace {

constexpr std::int16_t kPerspectiveView = 1;
constexpr std::int32_t kTargetNodeType = 16;
constexpr std::int32_t kCameraNodeType = 2;

// The camera's fixed settings in its parameter item.
constexpr std::uint8_t kSwitchA = 0;
constexpr std::uint8_t kSwitchB = 1;
constexpr std::uint8_t kSwitchC = 1;
constexpr std::int32_t kCameraValue = 2;

// The view object: the chain's first element, provided the current item is
// that element or the one after it.
HostHandle findViewObject() {
    const host::ChainPosition chain = host::walkChainToCurrent();
    if (!chain.reached) raiseMessage(kMsgChainNotReached);
    if (chain.beforeCurrent != chain.start) raiseMessage(kMsgChainTooDeep);
    return chain.beforeCurrent;
}

// The placement maps a point P to R x (P - O), R row by row in m[0..8], O in m[9..11].
HostPoint place(const double m[12], double px, double py, double pz) {
    const double d[3] = {px - m[9], py - m[10], pz - m[11]};
    double r[3];
    for (int row = 0; row < 3; ++row) r[row] = m[3 * row] * d[0] + m[3 * row + 1] * d[1] + m[3 * row + 2] * d[2];
    return HostPoint{r[0], r[1], r[2]};
}

// Lifted by `height` (host length) before conversion to metres.
void storeMetres(HostPoint p, double height, double out[3]) {
    p.z += height;
    const MetrePoint metres = toMetrePoint(p);
    out[0] = metres.x;
    out[1] = metres.y;
    out[2] = metres.z;
}

void translate(MotionRecord& record, bool legacy, const double p[3]) {
    float point[3];
    toSceneAxes(MetrePoint{p[0], p[1], p[2]}, point);
    requireBuilt(motionTranslate(record, legacy, 0, point));
}

}  // namespace

CameraView computeCameraView() {
    CameraView view;
    HostHandle root = host::drawingRoot();
    const double height = root != nullptr ? elevationOf(root) : 0.0;

    HostHandle viewObject = findViewObject();
    if (host::viewKind(viewObject) != kPerspectiveView) {
        view.status = kNoCamera;
        return view;
    }
    view.status = kCameraValid;
    // A host that leaves the placement or the view data unfilled gets the
    // identity placement and an eye at the target.
    double m[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    host::getObjectPlacement(viewObject, m);
    const double big = std::numeric_limits<double>::max();
    double d = 0.0;
    double f = 1.0;
    double box[4] = {-big, big, big, -big};
    host::getViewData(viewObject, &d, &f, box);

    view.angle = std::atan((box[3] - box[1]) / (2.0 * f)) * camera_payload::kViewAngleFactor;
    storeMetres(place(m, 0.0, 0.0, d), height, view.eye);
    storeMetres(place(m, 0.0, 0.0, 0.0), height, view.target);
    return view;
}

void CameraSource::describe(bool legacy, NodeRecord& node) {
    if (view.status != kCameraValid) return;
    if (role == kRoleCameraTarget) {
        node.fill(legacy, kCameraTargetNodeId, kTargetNodeType, node_names::kCameraTarget);
        targetNodeId = static_cast<std::int32_t>(node.id);
    } else if (role == kRoleCameraNode) {
        node.fill(legacy, kCameraNodeId, kCameraNodeType, node_names::kCamera);
        node.targetId1 = targetNodeId;
        node.targetId2 = targetNodeId;
    }
}

unsigned CameraSource::motionCount() {
    if (view.status != kCameraValid) return 0;
    if (role == kRoleCameraTarget) return 1;
    if (role == kRoleCameraNode) return 2;
    return 0;
}

bool CameraSource::motion(unsigned index, bool legacy, MotionRecord& record) {
    if (role == kRoleCameraTarget) {
        translate(record, legacy, view.target);
        return true;
    }
    if (role != kRoleCameraNode) return false;
    if (index == 0) {
        translate(record, legacy, view.eye);
        return true;
    }
    if (index == 1) {
        requireBuilt(motionCameraParameter(record, legacy, 0, kSwitchA, static_cast<float>(view.angle), kSwitchB,
                                           kSwitchC, kCameraValue, nullptr));
        return true;
    }
    return false;
}

}  // namespace pelmora
