// A file opened by its UTF-8 name to be read from start to end in steps into
// memory the caller gives (the drawing document: read into pages of its own).
// Each failure comes with the system's words for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pelmora::tool::system {

class InputFile {
public:
    enum class Answer { Done, NotAFile, Failed };

    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens `path` for reading: NotAFile for a folder where the system says
    // so before opening; Failed when it cannot be opened.
    Answer open(const std::string& path);
    // Its size: NotAFile when it is no regular file (a folder, a device).
    Answer size(std::uint64_t& bytes);
    // Up to `n` bytes into `to`; `got` is 0 at the end of the file.
    Answer readSome(char* to, std::size_t n, std::size_t& got);

    // The system's words for the last failure.
    const std::string& why() const { return why_; }

private:
    std::intptr_t handle_ = -1;
    std::string why_;
};

}  // namespace pelmora::tool::system
