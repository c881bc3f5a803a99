#include <sys/stat.h>
#include <unistd.h>

#include "platform/read_only.h"

namespace pelmora::tool::system {

bool isReadOnly(const std::string& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) return false;
    return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(file.c_str(), W_OK) != 0;
}

}  // namespace pelmora::tool::system
