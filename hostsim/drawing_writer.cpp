// Saving a drawing document: its text (document_text_writer.cpp) in a new
// file beside the old one, which then replaces it.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <stdexcept>

#include "hostsim/drawing.h"
#include "platform/files.h"

namespace pelmora::hostsim {

namespace {

// Creates a new empty file with a name of its own beside `target` (the usual
// permissions, as a new file would get them); empty when none can be made.
std::string createFileBeside(const std::string& target) {
    const std::string stem = target + ".new-" + std::to_string(::getpid()) + "-";
    static unsigned serial = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = stem + std::to_string(++serial);
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return candidate;
        }
        if (errno != EEXIST) break;
    }
    return {};
}

// Writes all of `text` to the file; a failed close counts as a failed write
// (a full disk may show only there).
bool writeAll(const std::string& path, const std::string& text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) return false;
    const char* next = text.data();
    std::size_t left = text.size();
    bool written = true;
    while (left > 0) {
        const ssize_t n = ::write(fd, next, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            written = false;
            break;
        }
        next += n;
        left -= static_cast<std::size_t>(n);
    }
    const bool closed = ::close(fd) == 0;
    return written && closed;
}

}  // namespace

void saveDrawingAtomically(const Drawing& drawing, const std::string& file) {
    // Everything that can fail for want of memory happens before the file
    // exists or while its guard stands; the guard's removal cannot throw.
    const std::string text = serializeDrawing(drawing);
    const std::string target = platform::replacementTarget(file);
    std::string created = createFileBeside(target);
    if (created.empty()) throw std::runtime_error("cannot create a new file beside \"" + target + "\"");
    platform::TemporaryFile temporary(std::move(created));
    if (!writeAll(temporary.path(), text)) throw std::runtime_error("cannot write \"" + temporary.path() + "\"");
    if (!platform::replaceFile(temporary.path(), target))
        throw std::runtime_error("cannot replace \"" + file + "\" with the new file");
    temporary.keep();
}

}  // namespace pelmora::hostsim
