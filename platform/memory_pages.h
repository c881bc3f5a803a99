// Memory taken from the system a page at a time, outside the allocator, so
// that pages passed over can be given back without disturbing its bookkeeping.
#pragma once

#include <cstddef>

namespace pelmora::tool::system {

std::size_t pageSize();

// `bytes` (whole pages) of zero-filled memory; null when the system gives none.
void* mapPages(std::size_t bytes);
void unmapPages(void* block, std::size_t bytes);
// Gives back the memory of mapped pages, which stay mapped: they must not be
// read again (POSIX: zeros; Windows: undefined). False when the system refused.
bool dropPages(void* block, std::size_t bytes);

// Gives back the memory of the whole pages inside an allocator's block, which
// read as zeros if touched again; where the system cannot do that safely
// (anything but Linux) the block keeps its memory.
void dropWholePagesWithin(void* block, std::size_t bytes);

}  // namespace pelmora::tool::system
