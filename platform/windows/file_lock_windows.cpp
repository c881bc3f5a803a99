#include <windows.h>

#include "platform/file_lock.h"
#include "platform/windows/wide_text.h"

namespace pelmora::tool::system {
namespace {

// A lock file that another run is closing (and so deleting) refuses access
// for a moment; a folder we may not write in refuses it for good, and has no
// lock file.
bool lockFileThere(const std::wstring& name) {
    return GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES || GetLastError() == ERROR_ACCESS_DENIED;
}

}  // namespace

FileLock::Attempt FileLock::tryOnce(const std::string&) {
    const std::wstring name = wideText(path_);
    // Opened without sharing: a second open fails while this one stands.
    // The system deletes the file when the handle closes, also when the
    // process is ended.
    const HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        handle_ = reinterpret_cast<std::intptr_t>(handle);
        return Attempt::Held;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION || (error == ERROR_ACCESS_DENIED && lockFileThere(name))) return Attempt::Busy;
    why_ = "cannot make the lock file " + path_ + ": " + errorText(error);
    return Attempt::Failed;
}

void FileLock::release() {
    if (handle_ == -1) return;
    CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = -1;
    state_ = State::Unavailable;
}

}  // namespace pelmora::tool::system
