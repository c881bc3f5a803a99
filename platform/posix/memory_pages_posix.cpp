#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#include "platform/memory_pages.h"

namespace pelmora::tool::system {

std::size_t pageSize() {
    static const auto size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return size;
}

void* mapPages(std::size_t bytes) {
#if defined(MAP_POPULATE)
    constexpr int kFlags = MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE;
#else
    constexpr int kFlags = MAP_PRIVATE | MAP_ANONYMOUS;
#endif
    void* block = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, kFlags, -1, 0);
    return block == MAP_FAILED ? nullptr : block;
}

void unmapPages(void* block, std::size_t bytes) { ::munmap(block, bytes); }

// Dropped anonymous pages read as zeros if touched again.
bool dropPages(void* block, std::size_t bytes) { return ::madvise(block, bytes, MADV_DONTNEED) == 0; }

void dropWholePagesWithin(void* block, std::size_t bytes) {
#if defined(__linux__)
    const auto page = static_cast<std::uintptr_t>(pageSize());
    const auto at = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t begin = (at + page - 1) / page * page;
    const std::uintptr_t end = (at + bytes) / page * page;
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_DONTNEED);
#else
    (void)block;
    (void)bytes;
#endif
}

}  // namespace pelmora::tool::system
