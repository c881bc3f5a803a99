// The file fault hook of the sweep program: the C library's file calls are
// interposed for the whole process (the tool, the emulated host, the C++
// library's streams and the plug-in module), and those on files under one
// folder are counted; the Nth of them fails as the system would report it,
// or every write past a byte budget fails as on a full disk.
#pragma once

#include <string>

namespace pelmora::sweep {

// Operations counted: opening (any mode), writing, flushing, syncing,
// closing, renaming, removing and creating folders, on paths under `folder`
// and the files opened there, and on anonymous in-memory files made meanwhile. Operation `n` (1-based) fails; 0 only
// counts.
void armFileFault(const std::string& folder, long n) noexcept;
// Writes under `folder` succeed until `bytes` bytes in all were written; the
// write that crosses the budget writes what fits and fails with ENOSPC.
void armDiskFull(const std::string& folder, long bytes) noexcept;
void disarmFileFault() noexcept;

long fileOperationsSinceArm() noexcept;
bool fileFaultFired() noexcept;
// The operation that was made to fail ("open", "write", "rename", ...) and
// its path when it has one (empty for writes through a handle).
const char* failedOperation() noexcept;
const char* failedPath() noexcept;

}  // namespace pelmora::sweep
