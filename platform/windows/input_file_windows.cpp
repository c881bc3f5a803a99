#include <windows.h>

#include <algorithm>

#include "platform/input_file.h"
#include "platform/windows/wide_text.h"

namespace pelmora::tool::system {

InputFile::~InputFile() {
    if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

InputFile::Answer InputFile::open(const std::string& path) {
    const std::wstring name = wideText(path);
    // A folder cannot be opened as a file at all: say what it is rather than "access denied".
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Answer::NotAFile;
    const HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        why_ = errorText(GetLastError());
        return Answer::Failed;
    }
    handle_ = reinterpret_cast<std::intptr_t>(handle);
    return Answer::Done;
}

InputFile::Answer InputFile::size(std::uint64_t& bytes) {
    const auto handle = reinterpret_cast<HANDLE>(handle_);
    if (GetFileType(handle) != FILE_TYPE_DISK) return Answer::NotAFile;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle, &size)) {
        why_ = errorText(GetLastError());
        return Answer::Failed;
    }
    bytes = static_cast<std::uint64_t>(size.QuadPart);
    return Answer::Done;
}

InputFile::Answer InputFile::readSome(char* to, std::size_t n, std::size_t& got) {
    DWORD read = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(handle_), to,
                  static_cast<DWORD>(std::min<std::size_t>(n, std::size_t{1} << 30)), &read, nullptr)) {
        why_ = errorText(GetLastError());
        return Answer::Failed;
    }
    got = read;
    return Answer::Done;
}

}  // namespace pelmora::tool::system
