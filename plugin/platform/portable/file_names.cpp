#include "plugin/platform/portable/file_names.h"

#include "base/code_page.h"
#include "base/utf8.h"
#include "plugin/platform/portable_hooks.h"

namespace pelmora::platform {
namespace {

// The code page the runner gave, when names must be converted at all.
int hostCodePage() {
    const int codePage = portableHooks().fileNameCodePage;
    // None given, or UTF-8 itself: names pass unchanged.
    return codePage == base::kCodePageUtf8 || !base::knownCodePage(codePage) ? 0 : codePage;
}

}  // namespace

std::optional<std::string> hostFileName(const std::string& fileSystemName) {
    const int codePage = hostCodePage();
    if (codePage == 0 || base::isAscii(fileSystemName)) return fileSystemName;
    return base::fromUtf8(fileSystemName, codePage);
}

std::string fileSystemPath(const std::string& path) {
    const int codePage = hostCodePage();
    const std::size_t slash = path.find_last_of('/');
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    const std::string name = path.substr(start);
    if (codePage == 0 || base::isAscii(name)) return path;
    const std::optional<std::string> converted = base::toUtf8(name, codePage);
    return converted ? path.substr(0, start) + *converted : path;
}

bool hasExtension(const std::string& name, const std::string& extension) {
    if (name.size() <= extension.size() + 1) return false;
    const std::size_t dot = name.size() - extension.size() - 1;
    if (name[dot] != '.') return false;
    for (std::size_t i = 0; i < extension.size(); ++i) {
        char a = name[dot + 1 + i], b = extension[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

}  // namespace pelmora::platform
