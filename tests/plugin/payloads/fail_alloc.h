// Watches the plug-in's nothrow array allocations: counts them, and makes them
// fail while a FailAllocations object is alive, to reach out-of-memory paths.
#pragma once

namespace pelmora::test {

struct FailAllocations {
    FailAllocations();
    ~FailAllocations();
    FailAllocations(const FailAllocations&) = delete;
    FailAllocations& operator=(const FailAllocations&) = delete;
};

// Nothrow array allocations made since the program started.
long nothrowArrayAllocations();

}  // namespace pelmora::test
