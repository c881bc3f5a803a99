#include "tool/export/templates_not_files.h"

#include <filesystem>

#include "base/ascii_case.h"
#include "platform/file_status.h"
#include "platform/path_text.h"

namespace pelmora::tool {
namespace {

namespace fs = std::filesystem;

const char* kindOf(fs::file_type type) {
    switch (type) {
        case fs::file_type::fifo:
            return "a FIFO";
        case fs::file_type::directory:
            return "a folder";
        case fs::file_type::block:
        case fs::file_type::character:
            return "a device";
        case fs::file_type::socket:
            return "a socket";
        case fs::file_type::not_found:
            return "a link to nothing";
        default:
            return "not a plain file";
    }
}

}  // namespace

std::vector<SkippedTemplate> templatesNotFiles(const std::string& hostDir) {
    std::vector<SkippedTemplate> found;
    // Listed by the system's calls: std::filesystem's iterator ends the
    // process when it runs out of memory.
    const std::string folder = hostDir + "Pelmora";
    for (const std::string& name : system::namesIn(folder)) {
        if (!base::hasExtension(name, "qmt")) continue;
        // As the plug-in looks: through a link, to what it names.
        std::error_code ignored;
        const fs::file_type type = fs::status(system::pathOf(folder + "/" + name), ignored).type();
        if (type != fs::file_type::regular) found.push_back({name, std::string("not a file (") + kindOf(type) + ")"});
    }
    return found;
}

}  // namespace pelmora::tool
