#include "tool/export/template_overlay.h"

#include <filesystem>
#include <system_error>

#include "platform/file_creation.h"
#include "platform/interrupt.h"
#include "platform/path_text.h"
#include "tool/import/material_template.h"

namespace pelmora::tool {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTemplateFolder = "Pelmora";

}  // namespace

TemplateOverlay::TemplateOverlay(const std::string& hostDir, const std::vector<ImportedMaterial>& materials,
                                 int codePage) {
    root_ = system::makePrivateFolder("pelmora-templates");
    if (root_.empty()) {
        failure_ = "cannot make a private folder for the model's templates: " + system::lastFileError();
        return;
    }
    InterruptScope::removeOnQuit(InterruptScope::kFolderSlot, root_);
    std::error_code error;
    fs::create_directory(system::pathOf(root_) / kTemplateFolder, error);
    std::vector<std::string> hostNames;
    if (error || !copyHostFiles(hostDir, hostNames)) {
        if (failure_.empty()) failure_ = "cannot make the model's templates in " + root_ + ": " + error.message();
        return;
    }
    const WrittenTemplates written =
        writeMaterialTemplates(root_ + "/" + kTemplateFolder, materials, codePage, false, hostNames);
    generated_ = written.written.size();
    leftOut_ = written.unnamed;
    if (!written.failed.empty()) {
        failure_ = "cannot make the model's template " + written.failed.front();
        return;
    }
    folder_ = root_ + "/";
}

// The plain files of the host folder's template folder, by name.
bool TemplateOverlay::copyHostFiles(const std::string& hostDir, std::vector<std::string>& names) {
    const fs::path from = system::pathOf(hostDir) / kTemplateFolder;
    const fs::path to = system::pathOf(root_) / kTemplateFolder;
    std::error_code error;
    if (!fs::is_directory(from, error)) return true;
    for (fs::directory_iterator it(from, error), end; !error && it != end; it.increment(error)) {
        std::error_code kind;
        if (!it->is_regular_file(kind)) continue;
        const fs::path name = it->path().filename();
        if (!fs::copy_file(it->path(), to / name, error)) break;
        names.push_back(system::textOf(name));
    }
    if (error) failure_ = "cannot copy the host folder's templates (" + system::textOf(from) + "): " + error.message();
    return !error;
}

TemplateOverlay::~TemplateOverlay() {
    if (root_.empty()) return;
    std::error_code ignored;
    fs::remove_all(system::pathOf(root_), ignored);
    InterruptScope::removeOnQuit(InterruptScope::kFolderSlot, {});
}

}  // namespace pelmora::tool
