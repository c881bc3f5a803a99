#include "platform/file_exchange.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>

namespace pelmora::tool::system {
namespace {

void syncFolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

Exchange exchangeFiles(const std::string& a, const std::string& b) {
#if defined(__linux__) && defined(RENAME_EXCHANGE)
    if (::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0) {
        syncFolderOf(b);
        return Exchange::Done;
    }
    return errno == EINVAL || errno == ENOSYS || errno == ENOTSUP ? Exchange::Unsupported : Exchange::Failed;
#else
    (void)a;
    (void)b;
    return Exchange::Unsupported;
#endif
}

}  // namespace pelmora::tool::system
