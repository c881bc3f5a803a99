#include "platform/file_status.h"

#include <io.h>
#include <windows.h>

#include <new>

#include "platform/windows/wide_text.h"

namespace pelmora::tool::system {
namespace {

// 100-nanosecond steps since 1601, as the file times count.
void splitFileTime(const FILETIME& time, std::int64_t& seconds, long& nanoseconds) {
    const std::uint64_t ticks = (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    seconds = static_cast<std::int64_t>(ticks / 10000000U);
    nanoseconds = static_cast<long>(ticks % 10000000U) * 100L;
}

}  // namespace

PathKind pathKind(const std::string& path) {
    // Pipes and devices are named in the device namespace (\\.\pipe\x, \\.\COM1).
    if (path.rfind("\\\\.\\", 0) == 0 || path.rfind("//./", 0) == 0)
        return path.find("pipe", 4) == 4 ? PathKind::Pipe : PathKind::Device;
    const DWORD attributes = GetFileAttributesW(wideText(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
    if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) return PathKind::Device;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::Folder : PathKind::File;
}

long long fileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(wideText(path).c_str(), GetFileExInfoStandard, &data)) return -1;
    return static_cast<long long>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

long long fileSize(std::FILE* file) {
    LARGE_INTEGER size{};
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    return handle != INVALID_HANDLE_VALUE && GetFileSizeEx(handle, &size) ? static_cast<long long>(size.QuadPart) : -1;
}

long linkCount(const std::string& path) {
    HANDLE file = CreateFileW(wideText(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    BY_HANDLE_FILE_INFORMATION info{};
    const BOOL got = GetFileInformationByHandle(file, &info);
    CloseHandle(file);
    return got ? static_cast<long>(info.nNumberOfLinks) : 0;
}

FileIdentity FileIdentity::of(const std::string& path) {
    FileIdentity state;
    // Opened for no access at all: only its information is read.
    HANDLE file = CreateFileW(wideText(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return state;
    BY_HANDLE_FILE_INFORMATION info{};
    const BOOL got = GetFileInformationByHandle(file, &info);
    CloseHandle(file);
    if (!got) return state;
    state.exists = true;
    state.device = info.dwVolumeSerialNumber;
    state.index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    state.size = static_cast<long long>((static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    splitFileTime(info.ftLastWriteTime, state.modifiedSeconds, state.modifiedNanoseconds);
    return state;
}

// Windows has no cheap question for it (the read-only attribute of a folder
// means nothing): the staging file's creation tells, with its own message.
namespace {

// The names in `folder` whose attributes `wanted` accepts.
std::vector<std::string> entriesIn(const std::string& folder, bool (*wanted)(DWORD)) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(wideText(folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_NOT_ENOUGH_MEMORY) throw std::bad_alloc();
        return names;
    }
    try {
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L".." && wanted(found.dwFileAttributes))
                names.push_back(utf8Text(name.c_str()));
        } while (FindNextFileW(search, &found));
    } catch (...) {
        FindClose(search);
        throw;
    }
    FindClose(search);
    return names;
}

}  // namespace

std::vector<std::string> plainFilesIn(const std::string& folder) {
    return entriesIn(folder, [](DWORD attributes) {
        return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) == 0;
    });
}

std::vector<std::string> namesIn(const std::string& folder) {
    return entriesIn(folder, [](DWORD) { return true; });
}

std::vector<std::string> foldersIn(const std::string& folder) {
    return entriesIn(folder, [](DWORD attributes) {
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    });
}

bool mayWriteIn(const std::string& folder, std::string& why) {
    if (pathKind(folder) == PathKind::Folder) return true;
    why = "not a folder";
    return false;
}

}  // namespace pelmora::tool::system
