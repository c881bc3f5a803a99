#include <windows.h>

#include <chrono>
#include <thread>

#include "platform/file_lock.h"
#include "platform/windows/wide_text.h"

namespace pelmora::tool::system {
namespace {

constexpr auto kRetryEvery = std::chrono::milliseconds(20);

// A lock file that another run is closing (and so deleting) refuses access
// for a moment; a folder we may not write in refuses it for good, and has no
// lock file.
bool lockFileThere(const std::wstring& name) {
    return GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES || GetLastError() == ERROR_ACCESS_DENIED;
}

}  // namespace

FileLock FileLock::take(const std::string& file, const std::function<bool()>& keepWaiting) {
    FileLock lock;
    lock.path_ = lockPathFor(file);
    const std::wstring name = wideText(lock.path_);
    for (;;) {
        // Opened without sharing: a second open fails while this one stands.
        // The system deletes the file when the handle closes, also when the
        // process is ended.
        const HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                          FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            lock.state_ = State::Held;
            lock.handle_ = reinterpret_cast<std::intptr_t>(handle);
            return lock;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION && !(error == ERROR_ACCESS_DENIED && lockFileThere(name))) {
            lock.why_ = "cannot make the lock file " + lock.path_ + ": " + errorText(error);
            return lock;
        }
        if (!keepWaiting()) {
            lock.state_ = State::Busy;
            lock.why_ = "another run holds the lock " + lock.path_;
            return lock;
        }
        std::this_thread::sleep_for(kRetryEvery);
    }
}

void FileLock::release() {
    if (handle_ == -1) return;
    CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = -1;
    state_ = State::Unavailable;
}

}  // namespace pelmora::tool::system
