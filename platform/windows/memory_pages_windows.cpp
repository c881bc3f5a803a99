#include <windows.h>

#include "platform/memory_pages.h"

namespace pelmora::tool::system {

std::size_t pageSize() {
    static const std::size_t size = [] {
        SYSTEM_INFO info{};
        GetSystemInfo(&info);
        return static_cast<std::size_t>(info.dwPageSize);
    }();
    return size;
}

void* mapPages(std::size_t bytes) { return VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE); }

void unmapPages(void* block, std::size_t) { VirtualFree(block, 0, MEM_RELEASE); }

// Pages reset on Windows stay readable, their content undefined.
bool dropPages(void* block, std::size_t bytes) {
    return VirtualAlloc(block, bytes, MEM_RESET, PAGE_READWRITE) != nullptr;
}

// A reset page of the heap would not read as zeros: the block keeps its memory.
void dropWholePagesWithin(void*, std::size_t) {}

}  // namespace pelmora::tool::system
