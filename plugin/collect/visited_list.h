// The containers (layers, referenced layers) already walked in one pass: a
// hash set of handles, so a drawing of many layers is checked in constant
// time per container rather than by scanning every one seen before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_set>

#include "plugin/host/host_abi.h"

namespace pelmora {

class VisitedList {
public:
    bool contains(HostHandle handle) const { return handles_.count(handle) != 0; }
    // Notes `handle` as walked; false when it was noted already.
    bool add(HostHandle handle) { return handles_.insert(handle).second; }
    std::size_t size() const { return handles_.size(); }

    std::int32_t found = 0;  // pre-check only
    std::int32_t mode = 0;   // pre-check only

private:
    std::unordered_set<HostHandle> handles_;
};

}  // namespace pelmora
