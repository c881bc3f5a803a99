// A light property as host service 361 fills it, read as the type its tag
// carries. Reading it as another type, or a property the host did not give,
// gives false and leaves the destination as it was.
#pragma once

#include <cstdint>

#include "plugin/host/host_abi.h"

namespace pelmora {

class PropertyValue {
public:
    // Asks the host for `property` of `object`. False when the host does not
    // give it; the value then carries no tag and every read gives false.
    bool fetch(HostHandle object, std::int32_t property);

    bool read(bool& out) const;          // tag 0: one byte, non-zero is true
    bool read(std::int16_t& out) const;  // tag 1
    bool read(double& out) const;        // tag 3
    bool read(HostPoint& out) const;     // tag 6: three doubles

    std::int32_t tag() const { return raw_.tag; }
    HostPropertyValue& raw() { return raw_; }

private:
    HostPropertyValue raw_{{}, kNoTag};
    static constexpr std::int32_t kNoTag = -1;
};

// Shorthands: the property of `object` read as the type, or `fallback` when
// the host does not give it as that type.
bool boolProperty(HostHandle object, std::int32_t property, bool fallback);
std::int16_t int16Property(HostHandle object, std::int32_t property, std::int16_t fallback);
double doubleProperty(HostHandle object, std::int32_t property, double fallback);
// A point destination starts at (0, 0, 0), so a point not given reads as the origin.
HostPoint pointProperty(HostHandle object, std::int32_t property);

}  // namespace pelmora
