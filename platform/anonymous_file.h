// A file without a name, for handing a large result from a helper process to
// this one: in memory where the system allows (else an unnamed file in the
// temporary folder), so nothing is left behind whatever ends the run. The
// helper inherits it and writes; this process maps it read-only and gives
// back the storage of what it has read.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pelmora::tool::system {

class AnonymousFile {
public:
    // `name` labels it where the system shows such files; invalid when none
    // could be made (the system's error then stands).
    explicit AnonymousFile(const char* name);
    ~AnonymousFile();
    AnonymousFile(const AnonymousFile&) = delete;
    AnonymousFile& operator=(const AnonymousFile&) = delete;

    bool valid() const { return handle_ != -1; }
    // Appends all of it; false when it could not (the system's error stands).
    bool write(const char* data, std::size_t size) const;
    // Its size in bytes; -1 when it cannot be asked.
    long long size() const;
    // Gives back the storage of the whole pages in [from, from + length);
    // they read as zeros afterwards. Does nothing where the system cannot.
    void release(std::size_t from, std::size_t length) const;

private:
    friend class MappedFile;
    std::intptr_t handle_ = -1;
};

// A whole file mapped read-only into memory, unmapped with the object.
class MappedFile {
public:
    // Invalid when the file cannot be mapped (or is empty).
    MappedFile(const AnonymousFile& file, std::size_t size);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    bool valid() const { return data_ != nullptr; }
    const char* data() const { return data_; }
    std::size_t size() const { return size_; }

private:
    const char* data_ = nullptr;
    std::size_t size_ = 0;
    std::intptr_t mapping_ = 0;  // Windows: the mapping object
};

}  // namespace pelmora::tool::system
