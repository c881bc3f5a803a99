#include "platform/file_lock.h"

#include <chrono>
#include <thread>
#include <utility>

#include "platform/path_text.h"

namespace pelmora::tool::system {
namespace {

constexpr auto kRetryEvery = std::chrono::milliseconds(20);

}  // namespace

std::string lockPathFor(const std::string& file) {
    const auto path = pathOf(file);
    return textOf(path.parent_path() / pathOf("." + textOf(path.filename()) + ".lock"));
}

FileLock FileLock::take(const std::string& file, const std::function<bool()>& keepWaiting) {
    FileLock lock;
    lock.path_ = lockPathFor(file);
    for (;;) {
        switch (lock.tryOnce(file)) {
            case Attempt::Held:
                lock.state_ = State::Held;
                return lock;
            case Attempt::Failed:
                return lock;
            case Attempt::Busy:
                break;
        }
        if (!keepWaiting()) {
            lock.state_ = State::Busy;
            lock.why_ = "another run holds the lock " + lock.path_;
            return lock;
        }
        std::this_thread::sleep_for(kRetryEvery);
    }
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
