#include "platform/file_lock.h"

#include <utility>

#include "platform/path_text.h"

namespace pelmora::tool::system {

std::string lockPathFor(const std::string& file) {
    const auto path = pathOf(file);
    return textOf(path.parent_path() / pathOf("." + textOf(path.filename()) + ".lock"));
}

FileLock::FileLock(FileLock&& other) noexcept
    : state_(std::exchange(other.state_, State::Unavailable)),
      why_(std::move(other.why_)),
      path_(std::move(other.path_)),
      handle_(std::exchange(other.handle_, -1)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        release();
        state_ = std::exchange(other.state_, State::Unavailable);
        why_ = std::move(other.why_);
        path_ = std::move(other.path_);
        handle_ = std::exchange(other.handle_, -1);
    }
    return *this;
}

}  // namespace pelmora::tool::system
