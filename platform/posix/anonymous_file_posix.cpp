#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "platform/anonymous_file.h"
#include "platform/posix/write_all.h"

namespace pelmora::tool::system {

AnonymousFile::AnonymousFile(const char* name) {
#if defined(__linux__)
    handle_ = memfd_create(name, MFD_CLOEXEC);
    if (handle_ >= 0) return;
#else
    (void)name;
#endif
    std::error_code error;
    const std::string folder = std::filesystem::temp_directory_path(error).string();
#if defined(O_TMPFILE)
    handle_ = ::open(folder.empty() ? "/tmp" : folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
#endif
}

AnonymousFile::~AnonymousFile() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

bool AnonymousFile::write(const char* data, std::size_t size) const {
    return writeAll(static_cast<int>(handle_), data, size);
}

long long AnonymousFile::size() const {
    struct stat info {};
    return ::fstat(static_cast<int>(handle_), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}

void AnonymousFile::release(std::size_t from, std::size_t length) const {
#if defined(__linux__)
    fallocate(static_cast<int>(handle_), FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, static_cast<off_t>(from),
              static_cast<off_t>(length));
#else
    (void)from;
    (void)length;
#endif
}

MappedFile::MappedFile(const AnonymousFile& file, std::size_t size) {
    if (size == 0) return;
    void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, static_cast<int>(file.handle_), 0);
    if (mapped == MAP_FAILED) return;
    data_ = static_cast<const char*>(mapped);
    size_ = size;
}

MappedFile::~MappedFile() {
    if (data_) ::munmap(const_cast<char*>(data_), size_);
}

}  // namespace pelmora::tool::system
