// Interposes the C library's file calls: the program's own definitions come
// before the library's in symbol lookup, so every caller in the process,
// shared libraries included, lands here; the real call is looked up behind.
#include "tests/sweep/io_fault.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace pelmora::sweep {
namespace {

constexpr int kMaxFd = 4096;
constexpr std::size_t kPathRoom = 4096;

bool g_armed = false;
bool g_diskFull = false;
char g_folder[kPathRoom] = {};
std::size_t g_folderLength = 0;
long g_failAt = 0;
long g_count = 0;
long g_budget = 0;
long g_written = 0;
bool g_fired = false;
const char* g_failedOperation = "";
char g_failedPath[kPathRoom] = {};
bool g_watched[kMaxFd] = {};

bool underFolder(const char* path) {
    return g_armed && path != nullptr && g_folderLength > 0 && std::strncmp(path, g_folder, g_folderLength) == 0;
}

bool watchedFd(int fd) { return g_armed && fd >= 0 && fd < kMaxFd && g_watched[fd]; }

void watch(int fd, bool on) {
    if (fd >= 0 && fd < kMaxFd) g_watched[fd] = on;
}

// Counts one operation; true when it must fail.
bool failNow(const char* operation, const char* path) {
    if (g_diskFull) return false;
    ++g_count;
    if (g_failAt <= 0 || g_count != g_failAt) return false;
    g_fired = true;
    g_failedOperation = operation;
    g_failedPath[0] = '\0';
    if (path != nullptr) {
        std::strncpy(g_failedPath, path, kPathRoom - 1);
        g_failedPath[kPathRoom - 1] = '\0';
    }
    return true;
}

// How many of `size` bytes a write may put on the full disk.
std::size_t roomFor(std::size_t size) {
    if (!g_diskFull) return size;
    const long room = g_budget - g_written;
    if (room <= 0) return 0;
    return static_cast<std::size_t>(room) < size ? static_cast<std::size_t>(room) : size;
}

template <class Fn>
Fn real(const char* name) {
    void* symbol = dlsym(RTLD_NEXT, name);
    Fn fn;
    std::memcpy(&fn, &symbol, sizeof fn);
    return fn;
}

}  // namespace

void armFileFault(const std::string& folder, long n) noexcept {
    std::strncpy(g_folder, folder.c_str(), kPathRoom - 1);
    g_folderLength = std::strlen(g_folder);
    g_failAt = n;
    g_count = 0;
    g_fired = false;
    g_diskFull = false;
    g_failedOperation = "";
    g_failedPath[0] = '\0';
    g_armed = true;
}

void armDiskFull(const std::string& folder, long bytes) noexcept {
    armFileFault(folder, 0);
    g_diskFull = true;
    g_budget = bytes;
    g_written = 0;
}

void disarmFileFault() noexcept {
    g_armed = false;
    g_diskFull = false;
}

long fileOperationsSinceArm() noexcept { return g_count; }
bool fileFaultFired() noexcept { return g_fired; }
const char* failedOperation() noexcept { return g_failedOperation; }
const char* failedPath() noexcept { return g_failedPath; }

}  // namespace pelmora::sweep

using namespace pelmora::sweep;

extern "C" {

static int openWith(const char* name, const char* path, int flags, mode_t mode) {
    static auto realOpen = real<int (*)(const char*, int, ...)>("open");
    const bool counted = underFolder(path);
    if (counted && failNow(name, path)) {
        errno = (flags & O_CREAT) ? ENOSPC : EACCES;
        return -1;
    }
    const int fd = realOpen(path, flags, mode);
    if (fd >= 0) watch(fd, counted);
    return fd;
}

int open(const char* path, int flags, ...) {
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list args;
        va_start(args, flags);
        mode = static_cast<mode_t>(va_arg(args, int));
        va_end(args);
    }
    return openWith("open", path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list args;
        va_start(args, flags);
        mode = static_cast<mode_t>(va_arg(args, int));
        va_end(args);
    }
    return openWith("open", path, flags, mode);
}

static FILE* fopenWith(const char* name, const char* path, const char* mode) {
    static auto realFopen = real<FILE* (*)(const char*, const char*)>("fopen");
    const bool counted = underFolder(path);
    if (counted && failNow(name, path)) {
        errno = (mode != nullptr && mode[0] != 'r') ? ENOSPC : EACCES;
        return nullptr;
    }
    FILE* file = realFopen(path, mode);
    if (file != nullptr) watch(fileno(file), counted);
    return file;
}

FILE* fopen(const char* path, const char* mode) { return fopenWith("fopen", path, mode); }
FILE* fopen64(const char* path, const char* mode) { return fopenWith("fopen", path, mode); }

ssize_t write(int fd, const void* data, size_t size) {
    static auto realWrite = real<ssize_t (*)(int, const void*, size_t)>("write");
    if (watchedFd(fd)) {
        if (failNow("write", nullptr)) {
            errno = ENOSPC;
            return -1;
        }
        const std::size_t room = roomFor(size);
        if (room == 0 && size > 0) {
            errno = ENOSPC;
            return -1;
        }
        const ssize_t n = realWrite(fd, data, room);
        if (n > 0 && g_diskFull) g_written += n;
        return n;
    }
    return realWrite(fd, data, size);
}

size_t fwrite(const void* data, size_t size, size_t count, FILE* file) {
    static auto realFwrite = real<size_t (*)(const void*, size_t, size_t, FILE*)>("fwrite");
    if (watchedFd(fileno(file)) && size > 0) {
        if (failNow("write", nullptr)) {
            errno = ENOSPC;
            return 0;
        }
        const std::size_t wanted = size * count;
        const std::size_t room = roomFor(wanted);
        const std::size_t put = realFwrite(data, 1, room, file);
        if (g_diskFull) g_written += static_cast<long>(put);
        if (put < wanted) errno = ENOSPC;
        return put / size;
    }
    return realFwrite(data, size, count, file);
}

int fflush(FILE* file) {
    static auto realFflush = real<int (*)(FILE*)>("fflush");
    if (file != nullptr && watchedFd(fileno(file)) && failNow("flush", nullptr)) {
        errno = EIO;
        return EOF;
    }
    return realFflush(file);
}

int fclose(FILE* file) {
    static auto realFclose = real<int (*)(FILE*)>("fclose");
    const int fd = fileno(file);
    const bool counted = watchedFd(fd);
    const bool fail = counted && failNow("close", nullptr);
    watch(fd, false);
    const int result = realFclose(file);
    if (fail) {
        errno = EIO;
        return EOF;
    }
    return result;
}

int close(int fd) {
    static auto realClose = real<int (*)(int)>("close");
    const bool fail = watchedFd(fd) && failNow("close", nullptr);
    watch(fd, false);
    const int result = realClose(fd);
    if (fail) {
        errno = EIO;
        return -1;
    }
    return result;
}

// An anonymous file made during the run (the model import's handoff to the
// tool) counts as one of the folder's files: its making, writing and closing.
int memfd_create(const char* name, unsigned int flags) {
    static auto realMemfd = real<int (*)(const char*, unsigned int)>("memfd_create");
    if (g_armed && failNow("memfd_create", name)) {
        errno = ENOMEM;
        return -1;
    }
    const int fd = realMemfd(name, flags);
    if (fd >= 0) watch(fd, g_armed);
    return fd;
}

int fsync(int fd) {
    static auto realFsync = real<int (*)(int)>("fsync");
    if (watchedFd(fd) && failNow("fsync", nullptr)) {
        errno = EIO;
        return -1;
    }
    return realFsync(fd);
}

int rename(const char* from, const char* to) {
    static auto realRename = real<int (*)(const char*, const char*)>("rename");
    if ((underFolder(from) || underFolder(to)) && failNow("rename", from)) {
        errno = EIO;
        return -1;
    }
    return realRename(from, to);
}

int unlink(const char* path) {
    static auto realUnlink = real<int (*)(const char*)>("unlink");
    if (underFolder(path) && failNow("remove", path)) {
        errno = EIO;
        return -1;
    }
    return realUnlink(path);
}

int remove(const char* path) {
    static auto realRemove = real<int (*)(const char*)>("remove");
    if (underFolder(path) && failNow("remove", path)) {
        errno = EIO;
        return -1;
    }
    return realRemove(path);
}

int mkdir(const char* path, mode_t mode) {
    static auto realMkdir = real<int (*)(const char*, mode_t)>("mkdir");
    if (underFolder(path) && failNow("mkdir", path)) {
        errno = EIO;
        return -1;
    }
    return realMkdir(path, mode);
}

}  // extern "C"
