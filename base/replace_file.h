// Writing a file beside the one it replaces and moving it over that one in
// one step, so that the old file stays whole until the new one is complete:
// a failed write, or an exception while writing, leaves the old file as it
// was and takes the partial file away. The operating-system calls come from
// the caller (the plug-in's platform layer gives them: platform::replaceCalls).
#pragma once

#include <cassert>
#include <cerrno>
#include <string>
#include <utility>

namespace pelmora::base {

struct ReplaceCalls {
    // The file a write to `path` changes: a symbolic link's final target, so
    // that the link stays a link and the move stays within one file system.
    std::string (*target)(const std::string& path);
    // Flushes `from` to the disk and puts it in the place of `to` in one step.
    bool (*replace)(const std::string& from, const std::string& to);
    // Removes a file without allocating (it may run while a failure unwinds).
    bool (*remove)(const std::string& path);
};

enum class Replaced {
    Done,
    NoTemporaryName,  // no name could be made beside the target: nothing was written
    NotWritten,       // `write` failed: the old file is unchanged
    NotReplaced,      // the move failed: the old file is unchanged; errno says why
    Withdrawn,        // `stillWanted` said no: the old file is unchanged
};

// Removes the file when the scope ends unless keep() was called.
class PartialFile {
public:
    PartialFile(std::string&& path, bool (*remove)(const std::string&)) noexcept
        : path_(std::move(path)), remove_(remove) {}
    ~PartialFile() {
        if (kept_) return;
        const int error = errno;  // the caller's reason for the failure, not the removal's
        remove_(path_);
        errno = error;
    }
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;

    void keep() noexcept { kept_ = true; }
    const std::string& path() const noexcept { return path_; }

private:
    std::string path_;
    bool (*remove_)(const std::string&);
    bool kept_ = false;
};

// `nameBeside(target)` gives the name to write to beside the target (empty:
// none can be made); it may create the file. `write(name)` writes it
// completely and gives false on failure. `stillWanted(name)` is asked last,
// with the new file complete, just before it replaces the old one: false
// leaves the old file as it is (the caller may find it changed meanwhile).
template <class NameBeside, class Write, class StillWanted>
Replaced writeBesideAndReplace(const std::string& path, const ReplaceCalls& calls, NameBeside&& nameBeside,
                               Write&& write, StillWanted&& stillWanted) {
    assert(!path.empty() && calls.target && calls.replace && calls.remove);
    const std::string target = calls.target(path);
    std::string name = nameBeside(target);
    if (name.empty()) return Replaced::NoTemporaryName;
    assert(name != target);
    PartialFile partial(std::move(name), calls.remove);
    if (!write(partial.path())) return Replaced::NotWritten;
    if (!stillWanted(partial.path())) return Replaced::Withdrawn;
    if (!calls.replace(partial.path(), target)) return Replaced::NotReplaced;
    partial.keep();
    return Replaced::Done;
}

template <class NameBeside, class Write>
Replaced writeBesideAndReplace(const std::string& path, const ReplaceCalls& calls, NameBeside&& nameBeside,
                               Write&& write) {
    return writeBesideAndReplace(path, calls, nameBeside, write, [](const std::string&) { return true; });
}

}  // namespace pelmora::base
