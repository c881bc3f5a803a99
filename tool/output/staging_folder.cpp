#include "tool/output/staging_folder.h"

#include <filesystem>

#include "platform/file_creation.h"
#include "platform/file_status.h"
#include "platform/interrupt.h"
#include "platform/interrupt_signal.h"
#include "platform/path_text.h"
#include "platform/process.h"
#include "plugin/platform/files.h"

namespace pelmora::tool {
namespace {

namespace fs = std::filesystem;

// Makes `path` as a new folder and registers it for removal on a signal, in
// one step a signal cannot come between. False when the name is taken; `ec`
// says when anything else failed.
bool makeRegistered(const std::string& path, std::error_code& ec) {
    InterruptScope::Hold hold;
    if (!fs::create_directory(system::pathOf(path), ec)) return false;
    InterruptScope::removeOnQuit(InterruptScope::kFolderSlot, path);
    return true;
}

}  // namespace

StagingFolder::StagingFolder(const std::string& output) {
    const std::size_t slash = output.find_last_of(system::kPathSeparators);
    outputFolder_ = slash == std::string::npos ? std::string() : output.substr(0, slash + 1);
    name_ = output.substr(outputFolder_.size());
    const std::string pid = std::to_string(system::processId());
    // The long stem names the output; the short one is for names near the length limit.
    for (const std::string& stem : {"." + name_ + "." + pid, ".pelmora-" + pid}) {
        for (int attempt = 0; attempt < 20; ++attempt) {
            // Both names are held before the folder exists: nothing is left to
            // allocate once it does, so running out of memory cannot strand it.
            folder_ = outputFolder_ + stem + (attempt ? "-" + std::to_string(attempt) : std::string()) + ".part";
            mainPath_ = folder_ + "/" + name_;
            std::error_code ec;
            if (makeRegistered(folder_, ec)) return;
            if (ec == std::errc::file_exists) continue;
            folder_.clear();
            mainPath_.clear();
            if (ec == std::errc::no_space_on_device) failure_ = system::folderSpaceProblem(outputFolder_ + ".");
            if (failure_.empty()) failure_ = ec ? ec.message() : "no free name for a staging folder";
            if (ec != std::errc::filename_too_long) return;
            break;  // try the short stem
        }
    }
    folder_.clear();
    mainPath_.clear();
    if (failure_.empty()) failure_ = "no free name for a staging folder";
}

StagingFolder::~StagingFolder() {
    if (folder_.empty()) return;
    InterruptScope::forgetRemovals();
    try {
        for (const std::string& name : system::plainFilesIn(folder_))
            system::removeFileNow((folder_ + "/" + name).c_str());
    } catch (...) {}  // out of memory: the call below allocates nothing
    system::removeFolderNow(folder_.c_str());
}

std::set<std::string> StagingFolder::files() const {
    const std::vector<std::string> names = system::plainFilesIn(folder_);
    return {names.begin(), names.end()};
}

std::vector<std::string> StagingFolder::takenBeside(const std::set<std::string>& names) const {
    std::vector<std::string> taken;
    for (const std::string& name : names)
        if (name != name_ && platform::fileExists(outputFolder_ + name)) taken.push_back(outputFolder_ + name);
    return taken;
}

std::string StagingFolder::moveInPlace(const std::set<std::string>& replaceable, const std::string& target) {
    for (const std::string& name : files()) {
        if (name == name_) continue;
        const std::string to = outputFolder_ + name;
        // A different file of the name is not ours to replace: it stays, and
        // the output refers to what it was made to refer to.
        if (!replaceable.count(name) && platform::fileExists(to)) continue;
        if (!platform::replaceFile(folder_ + "/" + name, to)) return to;
    }
    if (!platform::replaceFile(mainPath_, target)) return target;
    return {};
}

}  // namespace pelmora::tool
