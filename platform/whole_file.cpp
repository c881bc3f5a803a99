#include "platform/whole_file.h"

#include <cstdio>
#include <memory>

#include "platform/path_text.h"

namespace pelmora::tool::system {

bool readWholeFile(const std::string& path, std::string& out) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(openFile(path, "rb"), &std::fclose);
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) return false;
    const long size = std::ftell(file.get());
    if (size < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) return false;
    out.resize(static_cast<std::size_t>(size));
    const std::size_t got = size > 0 ? std::fread(out.data(), 1, out.size(), file.get()) : 0;
    out.resize(got);
    return got == static_cast<std::size_t>(size) && std::ferror(file.get()) == 0;
}

}  // namespace pelmora::tool::system
