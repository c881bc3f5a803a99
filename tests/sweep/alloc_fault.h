// The allocation fault hook of the sweep program: every operator new and
// every malloc, calloc and realloc of the process (the tool, the emulated
// host, the libraries and the plug-in module it loads) goes through it, and it
// can make the Nth allocation after arming fail, once or from there on.
#pragma once

namespace pelmora::sweep {

enum class FaultMode { Once, FromThereOn };

// Counting starts again at 0; allocation number `n` (1-based) fails, and with
// FromThereOn every later one too. n = 0 only counts.
void armAllocationFault(long n, FaultMode mode) noexcept;
void disarmAllocationFault() noexcept;
// Allocations seen since arming, and whether a failure was given.
long allocationsSinceArm() noexcept;
bool allocationFaultFired() noexcept;

}  // namespace pelmora::sweep
