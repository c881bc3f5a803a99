#include "tool/system/file_creation.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace pelmora::tool::system {

NewFile createNewFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return errno == EEXIST ? NewFile::Exists : NewFile::Failed;
    ::close(fd);
    return NewFile::Created;
}

std::string makePrivateFolder(const std::string& prefix) {
    const char* tmp = std::getenv("TMPDIR");
    for (const std::string& base : {std::string(tmp && *tmp == '/' ? tmp : "/tmp"), std::string("/tmp")}) {
        std::string pattern = base + "/" + prefix + "-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (::mkdtemp(buffer.data())) return buffer.data();
    }
    return {};
}

std::string lastFileError() { return std::strerror(errno); }

}  // namespace pelmora::tool::system
