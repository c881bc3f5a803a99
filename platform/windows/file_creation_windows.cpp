#include "platform/file_creation.h"

#include <windows.h>

#include "platform/windows/wide_text.h"

namespace pelmora::tool::system {

NewFile createNewFile(const std::string& path) {
    HANDLE file =
        CreateFileW(wideText(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? NewFile::Exists : NewFile::Failed;
    }
    CloseHandle(file);
    return NewFile::Created;
}

std::string makePrivateFolder(const std::string& prefix) {
    wchar_t temporary[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, temporary);
    if (length == 0 || length > MAX_PATH) return {};
    const std::string base =
        utf8Text(temporary, static_cast<int>(length)) + prefix + "-" + std::to_string(GetCurrentProcessId()) + "-";
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string folder = base + std::to_string(GetTickCount() + attempt);
        if (CreateDirectoryW(wideText(folder).c_str(), nullptr)) return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
    }
    return {};
}

bool syncFile(const std::string& path) {
    const HANDLE file = CreateFileW(wideText(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool synced = FlushFileBuffers(file) != 0;
    return CloseHandle(file) != 0 && synced;
}

std::string lastFileError() { return errorText(GetLastError()); }

std::string lastFileErrorIn(const std::string&) {
    const DWORD error = GetLastError();
    switch (error) {
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return "the disk is full (free some space or choose another disk)";
        case ERROR_FILENAME_EXCED_RANGE:
            return "the path is too long";
        case ERROR_ACCESS_DENIED:
            return "no permission";
        case ERROR_WRITE_PROTECT:
            return "the disk is write-protected";
        default:
            return errorText(error);
    }
}

bool lastFileErrorIsOfThePath() {
    switch (GetLastError()) {
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_DIRECTORY:
            return true;
        default:
            return false;
    }
}

std::string folderSpaceProblem(const std::string& folder) {
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(wideText(folder).c_str(), &available, nullptr, nullptr)) return {};
    return available.QuadPart == 0 ? "the disk is full (free some space or choose another disk)" : std::string();
}

}  // namespace pelmora::tool::system
