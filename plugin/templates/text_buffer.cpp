#include "plugin/templates/text_buffer.h"

#include <limits>
#include <new>
#include <stdexcept>

#include "plugin/platform/files.h"

namespace pelmora {
namespace {
// The length is a 32-bit signed count.
constexpr std::size_t kMaxLength = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
}  // namespace

bool TextBuffer::load(const std::string& path) {
    storage_.clear();
    storage_.shrink_to_fit();
    bool complete = false;
    // Out of memory is not an unreadable file: read as one, it would drop a
    // template or the id table from an export that then counts as done.
    try {
        complete = platform::readWholeFile(path, storage_);
    } catch (const std::length_error&) {
        storage_ = std::string();
        return false;
    }
    if (storage_.size() > kMaxLength) {
        storage_ = std::string();
        return false;
    }
    return complete;
}

bool TextBuffer::assign(const char* data, std::size_t size) {
    storage_ = std::string();
    if (size > kMaxLength) return false;
    try {
        storage_.assign(data, size);
    } catch (const std::bad_alloc&) {
        storage_ = std::string();
        return false;
    }
    return true;
}

}  // namespace pelmora
