#include "tool/staging_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform/files.h"
#include "tool/interrupt.h"

namespace pelmora::tool {
namespace {

namespace fs = std::filesystem;

// The plug-in's writer puts the bytes into this name beside the chosen path first.
constexpr const char* kWriterSuffix = ".pelmora-tmp";

bool reserve(const std::string& candidate) {
    int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

StagingFile::StagingFile(const std::string& target) {
    const std::string folder = folderOf(target);
    const std::string name = target.substr(folder.size());
    const std::string pid = std::to_string(::getpid());
    const std::size_t limit = platform::pathLengthLimit();
    std::vector<std::string> stems{"." + name + "." + pid, ".pelmora-" + pid};
    for (const std::string& stem : stems) {
        for (int attempt = 0; attempt < 20; ++attempt) {
            std::string candidate = folder + stem + (attempt ? "-" + std::to_string(attempt) : "") + ".part";
            if (candidate.size() + std::char_traits<char>::length(kWriterSuffix) > limit) break;
            if (reserve(candidate)) {
                path_ = candidate;
                writerPath_ = candidate + kWriterSuffix;
                registerForQuit();
                return;
            }
            if (errno != EEXIST) return;
        }
    }
}

StagingFile StagingFile::inPrivateFolder() {
    StagingFile staging;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp == '/' ? tmp : "/tmp") + "/pelmora-dry-run-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!::mkdtemp(buffer.data())) return staging;
    staging.privateFolder_ = buffer.data();
    staging.path_ = staging.privateFolder_ + "/scene.qmx";
    staging.writerPath_ = staging.path_ + kWriterSuffix;
    staging.registerForQuit();
    return staging;
}

StagingFile::StagingFile(StagingFile&& other) noexcept
    : path_(std::move(other.path_)),
      writerPath_(std::move(other.writerPath_)),
      privateFolder_(std::move(other.privateFolder_)) {
    other.path_.clear();
    other.writerPath_.clear();
    other.privateFolder_.clear();
}

StagingFile::~StagingFile() { remove(); }

void StagingFile::registerForQuit() const {
    InterruptScope::removeOnQuit(0, path_);
    InterruptScope::removeOnQuit(1, writerPath_);
}

void StagingFile::remove() noexcept {
    InterruptScope::forgetRemovals();
    if (!path_.empty()) {
        ::unlink(writerPath_.c_str());
        ::unlink(path_.c_str());
        path_.clear();
    }
    if (!privateFolder_.empty()) {
        // Holds nothing but the two files above and the preference copy.
        try {
            std::error_code ignored;
            fs::remove_all(privateFolder_, ignored);
        } catch (...) {
        }
        privateFolder_.clear();
    }
}

}  // namespace pelmora::tool
