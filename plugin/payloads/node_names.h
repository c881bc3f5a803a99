// The fixed names of the camera and light nodes, kept in this one place.
// The %d names are printf formats taking the unnamed-light number.
//
// The file's strings are 8-bit ANSI texts, and a renderer that shows these
// Japanese names reads them in the Japanese code page: so they are written in
// Shift-JIS (code page 932), not UTF-8, on every platform. Names that come
// from the host (classes, lights) are copied byte for byte in the host's own
// code page.
#pragma once

namespace pelmora::node_names {

// Written as byte escapes so that no compiler's source or execution character
// set can change them.
inline constexpr char kCameraTarget[] = "\x92\x8D\x8E\x8B\x93\x5F>\x83\x4A\x83\x81\x83\x89";  // 注視点>カメラ
inline constexpr char kCamera[] = "\x83\x4A\x83\x81\x83\x89";                                 // カメラ
inline constexpr char kUnnamedLightTarget[] =
    "\x8F\xC6\x8E\xCB\x93\x5F>\x83\x89\x83\x43\x83\x67-%d";             // 照射点>ライト-%d
inline constexpr char kUnnamedLight[] = "\x83\x89\x83\x43\x83\x67-%d";  // ライト-%d
// A named light's target: this prefix, then ">", then the light's name.
inline constexpr char kLightTargetPrefix[] = "\x8F\xC6\x8E\xCB\x93\x5F";  // 照射点
inline constexpr char kRootName[] = "Node";

}  // namespace pelmora::node_names
