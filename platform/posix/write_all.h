// Writing all of a buffer to a descriptor, a write cut short by a signal or
// by a full pipe taken up again; shared by the POSIX units.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace pelmora::tool::system {

inline bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace pelmora::tool::system
