// The camera of the scene, computed from the drawing's view, and the tree
// source that stands for the camera's target node (role 2) and camera node (role 1).
#pragma once

#include <cstdint>

#include "plugin/scene_file/records.h"

namespace pelmora {

struct CameraView {
    // 0: the view is a perspective view and the other fields are valid;
    // 2: it is not, and the scene has no camera.
    std::int16_t status = 0;
    double eye[3] = {0.0, 0.0, 0.0};     // metres, drawing axes
    double target[3] = {0.0, 0.0, 0.0};  // metres, drawing axes
    double angle = 0.0;                  // the value written as the view angle
};

inline constexpr std::int16_t kCameraValid = 0;
inline constexpr std::int16_t kNoCamera = 2;

// Reads the view from the host. Raises qmx_exception 11011/6 when the current
// item is not in the host's chain, 11011/7 when it lies deeper than the
// chain's second element.
CameraView computeCameraView();

// The camera's role values, as the root sets them.
inline constexpr std::int32_t kRoleCameraNode = 1;
inline constexpr std::int32_t kRoleCameraTarget = 2;

class CameraSource : public TreeSource {
public:
    void describe(bool legacy, NodeRecord& node) override;
    unsigned motionCount() override;
    bool motion(unsigned index, bool legacy, MotionRecord& record) override;

    CameraView view;
    std::int32_t targetNodeId = 0;  // remembered when the target node is described
    std::int32_t role = 0;          // 2 the target point, 1 the camera
};

}  // namespace pelmora
