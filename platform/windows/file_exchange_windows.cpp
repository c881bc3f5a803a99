#include <windows.h>

#include "platform/file_exchange.h"
#include "platform/windows/wide_text.h"

namespace pelmora::tool::system {

// ReplaceFileW puts `a` in the place of `b` and keeps `b` under a backup
// name, which then takes `a`'s name: `b` holds what `a` held and `a` what
// `b` held, as a swap would leave them, in two steps instead of one (the
// old file is under one of the two names throughout). Where the first step
// cannot be made the files are as they were (Unsupported: the caller
// renames); where the second cannot, the first is undone (Failed).
Exchange exchangeFiles(const std::string& a, const std::string& b) {
    const std::wstring from = fullWidePath(a);
    const std::wstring to = fullWidePath(b);
    const std::wstring backup = from + L"~";
    DeleteFileW(backup.c_str());
    if (!ReplaceFileW(to.c_str(), from.c_str(), backup.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
        return GetFileAttributesW(from.c_str()) != INVALID_FILE_ATTRIBUTES ? Exchange::Unsupported : Exchange::Failed;
    if (MoveFileExW(backup.c_str(), from.c_str(), MOVEFILE_WRITE_THROUGH)) return Exchange::Done;
    ReplaceFileW(to.c_str(), backup.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
    return Exchange::Failed;
}

}  // namespace pelmora::tool::system
