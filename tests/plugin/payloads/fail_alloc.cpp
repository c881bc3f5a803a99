#include "tests/plugin/payloads/fail_alloc.h"

#include <cstddef>
#include <new>

namespace {
bool gFailNothrowArrays = false;
long gNothrowArrays = 0;
}  // namespace

namespace pelmora::test {
FailAllocations::FailAllocations() { gFailNothrowArrays = true; }
FailAllocations::~FailAllocations() { gFailNothrowArrays = false; }
long nothrowArrayAllocations() { return gNothrowArrays; }
}  // namespace pelmora::test

// Forwards to the ordinary array new so that the matching delete[] (and the
// sanitizer's bookkeeping) stays as it would be.
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    ++gNothrowArrays;
    if (gFailNothrowArrays) return nullptr;
    try {
        return ::operator new[](size);
    } catch (...) { return nullptr; }
}
