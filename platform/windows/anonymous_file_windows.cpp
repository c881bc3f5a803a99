#include <windows.h>

#include <string>

#include "platform/anonymous_file.h"
#include "platform/windows/wide_text.h"

namespace pelmora::tool::system {

// A temporary file the system deletes when its handle closes, however the process ends.
AnonymousFile::AnonymousFile(const char* name) {
    wchar_t folder[MAX_PATH + 1];
    wchar_t path[MAX_PATH + 1];
    const std::wstring prefix = wideText(name);
    if (GetTempPathW(MAX_PATH + 1, folder) == 0 || GetTempFileNameW(folder, prefix.c_str(), 0, path) == 0) return;
    const HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file != INVALID_HANDLE_VALUE) handle_ = reinterpret_cast<std::intptr_t>(file);
}

AnonymousFile::~AnonymousFile() {
    if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool AnonymousFile::write(const char* data, std::size_t size) const {
    while (size > 0) {
        DWORD written = 0;
        const DWORD step = size > (DWORD{1} << 30) ? (DWORD{1} << 30) : static_cast<DWORD>(size);
        if (!WriteFile(reinterpret_cast<HANDLE>(handle_), data, step, &written, nullptr) || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

long long AnonymousFile::size() const {
    LARGE_INTEGER size{};
    return GetFileSizeEx(reinterpret_cast<HANDLE>(handle_), &size) ? static_cast<long long>(size.QuadPart) : -1;
}

// Storage of a file on Windows is given back only with its end.
void AnonymousFile::release(std::size_t, std::size_t) const {}

MappedFile::MappedFile(const AnonymousFile& file, std::size_t size) {
    if (size == 0) return;
    const HANDLE mapping =
        CreateFileMappingW(reinterpret_cast<HANDLE>(file.handle_), nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!mapping) return;
    const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, size);
    if (!view) {
        CloseHandle(mapping);
        return;
    }
    mapping_ = reinterpret_cast<std::intptr_t>(mapping);
    data_ = static_cast<const char*>(view);
    size_ = size;
}

MappedFile::~MappedFile() {
    if (!data_) return;
    UnmapViewOfFile(data_);
    CloseHandle(reinterpret_cast<HANDLE>(mapping_));
}

}  // namespace pelmora::tool::system
