// Three 32-bit floats as they stand in a QMX file: x, y, z.
#pragma once

namespace pelmora::qmxread {

struct Vec3 {
    float x = 0.0f, y = 0.0f, z = 0.0f;
};

}  // namespace pelmora::qmxread
