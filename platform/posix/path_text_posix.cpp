#include "platform/path_text.h"

namespace pelmora::tool::system {

// File names are bytes here, UTF-8 on any current system: nothing to change.
bool narrowPath(const std::string& utf8, std::string& narrow) {
    narrow = utf8;
    return true;
}

bool utf8FromNarrowPath(const std::string& narrow, std::string& utf8) {
    utf8 = narrow;
    return true;
}

int fileNameCodePage() { return 0; }

std::FILE* openFile(const std::string& utf8, const char* mode) { return std::fopen(utf8.c_str(), mode); }

}  // namespace pelmora::tool::system
