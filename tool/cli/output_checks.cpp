#include "tool/cli/output_checks.h"

#include <filesystem>
#include <system_error>

#include "platform/file_status.h"
#include "platform/path_text.h"

namespace pelmora::tool {

std::string outputRefusal(const std::string& path, bool force, const OutputRule& rule) {
    namespace fs = std::filesystem;
    if (path == "-")
        return std::string(rule.option) + " - is not supported: " + rule.kind +
               " is written in place and cannot go to standard output; give a file name such as " + rule.example;
    std::error_code error;
    const fs::path file = system::pathOf(path);
    if (fs::is_directory(file, error))
        return path + " is a folder; give a file name for " + rule.kind + " (such as " + rule.example + ")";
    if (std::string refusal = system::outputKindRefusal(path); !refusal.empty()) return refusal;
    if (fs::exists(file, error) && !force) return path + " exists; give --force to replace it (nothing was changed)";
    // Said here rather than by the staging file that could not be made in it.
    const fs::path folder = fs::absolute(file, error).parent_path();
    if (!fs::is_directory(folder, error))
        return "the output folder " + system::textOf(folder) + " does not exist; create it or choose another path";
    return {};
}

}  // namespace pelmora::tool
