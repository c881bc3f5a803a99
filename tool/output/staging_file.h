// The staging file of an export: a fresh name in the target's folder that the
// save dialog is answered with. The plug-in writes there (through its own
// temporary name beside it); the tool moves the finished file over the target
// only when the run was not stopped. Whatever is left is taken away when the
// object ends, and by a second Ctrl+C.
#pragma once

#include <string>

#include "platform/file_creation.h"

namespace pelmora::tool {

class StagingFile {
public:
    // Reserves a name beside `target` (an absolute path). Empty path() when no
    // name could be made there, and failure() says why.
    explicit StagingFile(const std::string& target);
    // Reserves a name in a private temporary folder (for --dry-run).
    static StagingFile inPrivateFolder();
    ~StagingFile();
    StagingFile(StagingFile&& other) noexcept;
    StagingFile& operator=(StagingFile&&) = delete;
    StagingFile(const StagingFile&) = delete;
    StagingFile& operator=(const StagingFile&) = delete;

    const std::string& path() const { return path_; }
    const std::string& failure() const { return failure_; }
    // Whether that failure comes of the target's path (too long, no
    // permission, read-only) rather than of the disk's state (full, no free
    // inodes, a fault).
    bool failureIsOfThePath() const { return failureOfThePath_; }
    // Where the plug-in's writer puts the bytes first, beside path().
    const std::string& writerPath() const { return writerPath_; }
    // After the file was moved away (or should stay): nothing to take away.
    void release() noexcept;
    // Removes the staging file and the writer's partial files now.
    void remove() noexcept;

private:
    StagingFile() = default;
    void registerForQuit() const;
    void markOurs() const;
    void forgetNames() noexcept;
    // Makes the first free name "STEM[-N].part"; Exists when none is free or fits.
    system::NewFile reserve(const std::string& stem);

    // Kept whole from the start, so that taking the files away allocates
    // nothing (it may run while an out-of-memory failure unwinds).
    std::string path_;
    std::string writerPath_;  // the writer's partial file beside path_
    std::string privateFolder_;
    std::string failure_;  // why no name could be made
    bool failureOfThePath_ = true;
};

}  // namespace pelmora::tool
