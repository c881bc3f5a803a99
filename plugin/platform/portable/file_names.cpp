#include "plugin/platform/portable/file_names.h"

#include "base/utf8.h"
#include "platform/code_page.h"
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

}  // namespace pelmora::platform
