#include "tool/output/staging_file.h"

#include <filesystem>

#include "platform/file_attributes.h"
#include "platform/file_creation.h"
#include "platform/file_status.h"
#include "platform/interrupt.h"
#include "platform/interrupt_signal.h"
#include "platform/path_text.h"
#include "platform/process.h"
#include "plugin/platform/files.h"
#include "plugin/scene/write_scene.h"

namespace pelmora::tool {
namespace {

namespace fs = std::filesystem;

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of(system::kPathSeparators);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

StagingFile::StagingFile(const std::string& target) {
    const std::string folder = folderOf(target);
    const std::string name = target.substr(folder.size());
    const std::string pid = std::to_string(system::processId());
    // The long stem names the output; the short one is for names near the length limit.
    for (const std::string& stem : {"." + name + "." + pid, ".pelmora-" + pid}) {
        const system::NewFile made = reserve(folder + stem);
        if (made == system::NewFile::Created) return;
        if (made == system::NewFile::Failed) {
            failureOfThePath_ = system::lastFileErrorIsOfThePath();
            failure_ = system::lastFileErrorIn(folder.empty() ? std::string(".") : folder);
            break;
        }
    }
    if (failure_.empty()) failure_ = "the path is too long";
    forgetNames();
}

system::NewFile StagingFile::reserve(const std::string& stem) {
    const std::size_t limit = platform::pathLengthLimit();
    for (int attempt = 0; attempt < 20; ++attempt) {
        // Both names are held before the file exists: nothing is left to
        // allocate once it does, so running out of memory cannot strand it.
        path_ = stem + (attempt ? "-" + std::to_string(attempt) : std::string()) + ".part";
        writerPath_ = temporaryPathFor(path_);
        if (path_.size() > limit || writerPath_.empty()) return system::NewFile::Exists;  // try a shorter stem
        // A signal between the making and the registering would strand the file.
        InterruptScope::Hold hold;
        const system::NewFile created = system::createNewFile(path_);
        if (created == system::NewFile::Created) {
            registerForQuit();
            markOurs();
        }
        if (created != system::NewFile::Exists) return created;
    }
    return system::NewFile::Exists;
}

// Both files carry the tool's mark, by which a later run knows them for a
// killed run's own: the writer opens its file over the empty one made here
// (keeping the mark), and its replacement of the staging file keeps the
// staging file's attributes.
void StagingFile::markOurs() const {
    if (!system::markAsOurs(path_)) return;  // no marks on this file system: nothing to make
    if (system::createNewFile(writerPath_) == system::NewFile::Created) system::markAsOurs(writerPath_);
}

StagingFile StagingFile::inPrivateFolder() {
    StagingFile staging;
    staging.privateFolder_ = system::makePrivateFolder("pelmora-dry-run");
    if (staging.privateFolder_.empty()) return staging;
    staging.path_ = staging.privateFolder_ + "/scene.qmx";
    staging.writerPath_ = temporaryPathFor(staging.path_);
    staging.registerForQuit();
    return staging;
}

StagingFile::StagingFile(StagingFile&& other) noexcept
    : path_(std::move(other.path_)),
      writerPath_(std::move(other.writerPath_)),
      privateFolder_(std::move(other.privateFolder_)),
      failure_(std::move(other.failure_)),
      failureOfThePath_(other.failureOfThePath_) {
    other.path_.clear();
    other.writerPath_.clear();
    other.privateFolder_.clear();
}

StagingFile::~StagingFile() { remove(); }

void StagingFile::registerForQuit() const {
    InterruptScope::removeOnQuit(0, path_);
    InterruptScope::removeOnQuit(1, writerPath_);
}

void StagingFile::forgetNames() noexcept {
    path_.clear();
    writerPath_.clear();
}

void StagingFile::release() noexcept {
    if (!path_.empty()) {
        InterruptScope::forgetRemovals();
        // The empty file made for a writer that never used it (a conversion's).
        system::removeFileNow(writerPath_.c_str());
    }
    path_.clear();
}

void StagingFile::remove() noexcept {
    // Only the owner of the files forgets them: a staging file moved into
    // place of another must stay registered after the moved-from one ends.
    if (!path_.empty() || !privateFolder_.empty()) InterruptScope::forgetRemovals();
    if (!path_.empty()) {
        system::removeFileNow(writerPath_.c_str());
        system::removeFileNow(path_.c_str());
        path_.clear();
    }
    if (!privateFolder_.empty()) {
        // Holds nothing but the two files above and the preference copy.
        try {
            std::error_code ignored;
            fs::remove_all(system::pathOf(privateFolder_), ignored);
        } catch (...) {}
        privateFolder_.clear();
    }
}

}  // namespace pelmora::tool
