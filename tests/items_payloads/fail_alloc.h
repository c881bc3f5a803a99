// Makes the plug-in's nothrow array allocations fail while a FailAllocations
// object is alive, to reach the builders' out-of-memory paths.
#pragma once

namespace pelmora::test {

struct FailAllocations {
    FailAllocations();
    ~FailAllocations();
    FailAllocations(const FailAllocations&) = delete;
    FailAllocations& operator=(const FailAllocations&) = delete;
};

}  // namespace pelmora::test
