// Replaces every form of the global operator new and delete, and interposes
// the C library's malloc, calloc, realloc and free (found with RTLD_NEXT: the
// C library's own, or the sanitizers' when they are linked, so that they still
// see every block and LeakSanitizer any that is never freed). operator new
// takes its blocks from the hooked malloc, so each allocation counts once.
#include "tests/sweep/alloc_fault.h"

#include <dlfcn.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

// Under AddressSanitizer the C library's allocation functions are the
// sanitizer's own, which a program cannot interpose before the sanitizer has
// started: there operator new counts its allocations itself, and the C
// library's are not swept (the ordinary build sweeps them).
#if defined(__SANITIZE_ADDRESS__)
#define PELMORA_SWEEP_HOOKS_MALLOC 0
#else
#define PELMORA_SWEEP_HOOKS_MALLOC 1
#endif

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

#if PELMORA_SWEEP_HOOKS_MALLOC
// The real functions, looked up on first use. dlsym may itself allocate
// while it looks: those few blocks come from a static arena and are never
// given back.
using MallocFunction = void* (*)(std::size_t);
using CallocFunction = void* (*)(std::size_t, std::size_t);
using ReallocFunction = void* (*)(void*, std::size_t);
using FreeFunction = void (*)(void*);
MallocFunction g_malloc = nullptr;
CallocFunction g_calloc = nullptr;
ReallocFunction g_realloc = nullptr;
FreeFunction g_free = nullptr;
bool g_resolving = false;

alignas(std::max_align_t) char g_arena[16384];
std::size_t g_arenaUsed = 0;

void* fromArena(std::size_t size) noexcept {
    const std::size_t rounded =
        (size + alignof(std::max_align_t) - 1) / alignof(std::max_align_t) * alignof(std::max_align_t);
    if (rounded > sizeof g_arena - g_arenaUsed) return nullptr;
    void* block = g_arena + g_arenaUsed;
    g_arenaUsed += rounded;
    return block;
}

bool inArena(const void* block) noexcept {
    const char* p = static_cast<const char*>(block);
    return p >= g_arena && p < g_arena + sizeof g_arena;
}

bool resolve() noexcept {
    if (g_free) return true;
    if (g_resolving) return false;
    g_resolving = true;
    g_malloc = reinterpret_cast<MallocFunction>(dlsym(RTLD_NEXT, "malloc"));
    g_calloc = reinterpret_cast<CallocFunction>(dlsym(RTLD_NEXT, "calloc"));
    g_realloc = reinterpret_cast<ReallocFunction>(dlsym(RTLD_NEXT, "realloc"));
    g_free = reinterpret_cast<FreeFunction>(dlsym(RTLD_NEXT, "free"));
    g_resolving = false;
    return g_free != nullptr;
}

// A refused block as the C library refuses one: null, with errno ENOMEM,
// which callers such as opendir and iconv_open hand on.
void* refused() noexcept {
    errno = ENOMEM;
    return nullptr;
}

#endif

void* allocate(std::size_t size, std::size_t alignment) noexcept {
    if (size == 0) size = 1;
    if (PELMORA_SWEEP_HOOKS_MALLOC && alignment <= alignof(std::max_align_t))
        return std::malloc(size);  // counted there
    if (failThisOne()) return nullptr;
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

#if PELMORA_SWEEP_HOOKS_MALLOC
extern "C" {

void* malloc(std::size_t size) {
    using namespace pelmora::sweep;
    if (!resolve()) return fromArena(size);
    return failThisOne() ? refused() : g_malloc(size);
}

void* calloc(std::size_t count, std::size_t size) {
    using namespace pelmora::sweep;
    if (!resolve()) {
        void* block = size && count > SIZE_MAX / size ? nullptr : fromArena(count * size);
        if (block) std::memset(block, 0, count * size);
        return block;
    }
    return failThisOne() ? refused() : g_calloc(count, size);
}

void* realloc(void* block, std::size_t size) {
    using namespace pelmora::sweep;
    if (!resolve() || inArena(block)) {
        // Only dlsym's own few blocks get here; they are never moved out.
        void* grown = fromArena(size);
        const std::size_t room =
            block ? static_cast<std::size_t>(g_arena + sizeof g_arena - static_cast<char*>(block)) : 0;
        if (grown && block) std::memcpy(grown, block, size < room ? size : room);
        return grown;
    }
    return failThisOne() ? refused() : g_realloc(block, size);
}

void free(void* block) {
    using namespace pelmora::sweep;
    if (block == nullptr || inArena(block)) return;
    if (resolve()) g_free(block);
}

}  // extern "C"
#endif

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
