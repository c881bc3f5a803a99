#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/input_file.h"

namespace pelmora::tool::system {

InputFile::~InputFile() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

InputFile::Answer InputFile::open(const std::string& path) {
    handle_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (handle_ >= 0) return Answer::Done;
    why_ = std::strerror(errno);
    return Answer::Failed;
}

InputFile::Answer InputFile::size(std::uint64_t& bytes) {
    struct stat info {};
    if (::fstat(static_cast<int>(handle_), &info) != 0) {
        why_ = std::strerror(errno);
        return Answer::Failed;
    }
    if (!S_ISREG(info.st_mode)) return Answer::NotAFile;
    bytes = static_cast<std::uint64_t>(info.st_size);
    return Answer::Done;
}

InputFile::Answer InputFile::readSome(char* to, std::size_t n, std::size_t& got) {
    for (;;) {
        const ssize_t read = ::read(static_cast<int>(handle_), to, n);
        if (read >= 0) {
            got = static_cast<std::size_t>(read);
            return Answer::Done;
        }
        if (errno != EINTR) {
            why_ = std::strerror(errno);
            return Answer::Failed;
        }
    }
}

}  // namespace pelmora::tool::system
