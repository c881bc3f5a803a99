// Text between the Windows calls' UTF-16 and UTF-8 (the tool's text) or a
// code page, and the system's words for an error, written once for every
// Windows unit.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace pelmora::tool::system {

// `bytes` of code page `codePage` as UTF-16. With MB_ERR_INVALID_CHARS in
// `flags`, none when they are not a valid sequence of it.
inline std::optional<std::wstring> wideFrom(const std::string& bytes, UINT codePage, DWORD flags) {
    if (bytes.empty()) return std::wstring();
    const auto size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(codePage, flags, bytes.data(), size, nullptr, 0);
    if (length <= 0) return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, flags, bytes.data(), size, wide.data(), length);
    return wide;
}

// `count` UTF-16 units (-1: up to the NUL, which is left out) in code page
// `codePage`. Outside UTF-8 no look-alike stands in for a character the code
// page lacks (no best fit): such a text gives none.
inline std::optional<std::string> narrowFrom(const wchar_t* wide, int count, UINT codePage) {
    if (!wide || count == 0) return std::string();
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL defaulted = FALSE;
    const int length =
        WideCharToMultiByte(codePage, flags, wide, count, nullptr, 0, nullptr, utf8 ? nullptr : &defaulted);
    if (length <= 0 || defaulted) return std::nullopt;
    std::string text(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(codePage, flags, wide, count, text.data(), length, nullptr, utf8 ? nullptr : &defaulted);
    if (defaulted) return std::nullopt;
    if (count < 0 && !text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

// UTF-8, the tool's text, to and from UTF-16, the Windows calls' text.
inline std::wstring wideText(const std::string& utf8) { return wideFrom(utf8, CP_UTF8, 0).value_or(std::wstring()); }

// The UTF-8 path as a full UTF-16 path, drive and all: ReplaceFileW refuses
// a path that names no drive ("/folder/file", which the other calls take),
// at least under Wine.
inline std::wstring fullWidePath(const std::string& utf8) {
    const std::wstring wide = wideText(utf8);
    const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0) return wide;
    std::wstring full(size, L'\0');
    const DWORD got = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    if (got == 0 || got >= size) return wide;
    full.resize(got);
    return full;
}

inline std::string utf8Text(const wchar_t* wide, int count = -1) {
    return narrowFrom(wide, count, CP_UTF8).value_or(std::string());
}

// The NUL-terminated `utf8` into `wide`, a buffer of `capacity` units, without
// allocating (for a signal handler, or while an out-of-memory failure
// unwinds); the units written with the NUL, 0 when it does not fit.
inline int wideTextInto(const char* utf8, wchar_t* wide, int capacity) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, capacity);
    return length > 0 ? length : 0;
}

// The system's words for an error code, in UTF-8, without the final full stop.
inline std::string errorText(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text =
        length > 0 && buffer ? utf8Text(buffer, static_cast<int>(length)) : "Windows error " + std::to_string(error);
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.' || text.back() == ' '))
        text.pop_back();
    return text;
}

// The folder of this program, with a separator at the end.
inline std::string windowsProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD got = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (got == 0) return {};
        if (got < path.size()) {
            path.resize(got);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::string() : utf8Text(path.c_str(), static_cast<int>(slash + 1));
}

}  // namespace pelmora::tool::system
