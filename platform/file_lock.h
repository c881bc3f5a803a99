// An exclusive lock that runs of the tool take on a file they will rewrite,
// so that two of them never read and rewrite it at once: a hidden lock file
// ".NAME.lock" beside the file, held with the system's own lock, which the
// system lets go when the process ends however it ends (a lock file left by
// a killed run holds nothing). The lock file goes when the lock is let go.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace pelmora::tool::system {

class FileLock {
public:
    enum class State { Held, Busy, Unavailable };

    // Takes the lock on `file`, trying again while another process holds it
    // for as long as `keepWaiting()` says (asked every few tens of
    // milliseconds): Busy when it stopped waiting, Unavailable when no lock
    // file can be made there (why() says why).
    static FileLock take(const std::string& file, const std::function<bool()>& keepWaiting);

    FileLock() = default;
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock() { release(); }

    State state() const { return state_; }
    bool held() const { return state_ == State::Held; }
    const std::string& why() const { return why_; }
    const std::string& lockPath() const { return path_; }
    void release();

private:
    // One try at the system's lock on the lock file of `file` (one unit per
    // system): Held with the handle kept, Busy while another process holds
    // it, Failed with why_ said.
    enum class Attempt { Held, Busy, Failed };
    Attempt tryOnce(const std::string& file);

    State state_ = State::Unavailable;
    std::string why_;
    std::string path_;
    std::intptr_t handle_ = -1;
};

// ".NAME.lock" in the folder of `file`.
std::string lockPathFor(const std::string& file);

}  // namespace pelmora::tool::system
