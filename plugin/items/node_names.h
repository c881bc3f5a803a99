// The fixed names of the camera and light nodes, UTF-8, kept in this one place.
// The %d names are printf formats taking the unnamed-light number.
#pragma once

namespace pelmora::node_names {

// Written as byte escapes so that no compiler's source character set can change them.
inline constexpr char kCameraTarget[] = "\xE6\xB3\xA8\xE8\xA6\x96\xE7\x82\xB9>\xE3\x82\xAB\xE3\x83\xA1\xE3\x83\xA9";  // 注視点>カメラ
inline constexpr char kCamera[] = "\xE3\x82\xAB\xE3\x83\xA1\xE3\x83\xA9";  // カメラ
inline constexpr char kUnnamedLightTarget[] =
    "\xE7\x85\xA7\xE5\xB0\x84\xE7\x82\xB9>\xE3\x83\xA9\xE3\x82\xA4\xE3\x83\x88-%d";  // 照射点>ライト-%d
inline constexpr char kUnnamedLight[] = "\xE3\x83\xA9\xE3\x82\xA4\xE3\x83\x88-%d";  // ライト-%d
// A named light's target: this prefix, then ">", then the light's name.
inline constexpr char kLightTargetPrefix[] = "\xE7\x85\xA7\xE5\xB0\x84\xE7\x82\xB9";  // 照射点
inline constexpr char kRootName[] = "Node";

}  // namespace pelmora::node_names
