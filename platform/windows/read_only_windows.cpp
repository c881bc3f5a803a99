#include <windows.h>

#include "platform/read_only.h"
#include "platform/windows/wide_text.h"

namespace pelmora::tool::system {

bool isReadOnly(const std::string& file) {
    const DWORD attributes = GetFileAttributesW(wideText(file).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

}  // namespace pelmora::tool::system
