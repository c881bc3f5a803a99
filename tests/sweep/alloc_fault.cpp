// Replaces every form of the global operator new and delete. The blocks come
// from malloc, so the sanitizers still see each of them (and LeakSanitizer
// any that is never freed).
#include "tests/sweep/alloc_fault.h"

#include <cstddef>
#include <cstdlib>
#include <new>

namespace pelmora::sweep {
namespace {

bool g_armed = false;
long g_failAt = 0;
FaultMode g_mode = FaultMode::Once;
long g_count = 0;
bool g_fired = false;

bool failThisOne() noexcept {
    if (!g_armed) return false;
    ++g_count;
    if (g_failAt <= 0) return false;
    const bool fail = g_count == g_failAt || (g_mode == FaultMode::FromThereOn && g_count > g_failAt);
    if (fail) g_fired = true;
    return fail;
}

void* allocate(std::size_t size, std::size_t alignment) noexcept {
    if (failThisOne()) return nullptr;
    if (size == 0) size = 1;
    if (alignment <= alignof(std::max_align_t)) return std::malloc(size);
    const std::size_t rounded = (size + alignment - 1) / alignment * alignment;
    return std::aligned_alloc(alignment, rounded);
}

void* allocateOrThrow(std::size_t size, std::size_t alignment) {
    void* block = allocate(size, alignment);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

}  // namespace

void armAllocationFault(long n, FaultMode mode) noexcept {
    g_count = 0;
    g_fired = false;
    g_failAt = n;
    g_mode = mode;
    g_armed = true;
}

void disarmAllocationFault() noexcept { g_armed = false; }
long allocationsSinceArm() noexcept { return g_count; }
bool allocationFaultFired() noexcept { return g_fired; }

}  // namespace pelmora::sweep

using pelmora::sweep::allocate;
using pelmora::sweep::allocateOrThrow;

void* operator new(std::size_t size) { return allocateOrThrow(size, 0); }
void* operator new[](std::size_t size) { return allocateOrThrow(size, 0); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size, 0); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size, 0); }
void* operator new(std::size_t size, std::align_val_t a) { return allocateOrThrow(size, static_cast<std::size_t>(a)); }
void* operator new[](std::size_t size, std::align_val_t a) {
    return allocateOrThrow(size, static_cast<std::size_t>(a));
}
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return allocate(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return allocate(size, static_cast<std::size_t>(a));
}

void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete(void* block, std::align_val_t) noexcept { std::free(block); }
void operator delete[](void* block, std::align_val_t) noexcept { std::free(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { std::free(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept { std::free(block); }
