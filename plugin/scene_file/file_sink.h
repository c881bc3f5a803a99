// The one place where the scene file meets the file system: a sink that takes
// blocks of bytes, and a process-wide factory that tests may replace to make a
// write or the final flush fail (a full disk) without touching a real disk.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

namespace pelmora {

class FileSink {
public:
    virtual ~FileSink() = default;
    // True only when every one of the `size` bytes was accepted.
    virtual bool write(const void* data, std::size_t size) = 0;
    // Flushes what is buffered and closes; true only when everything written
    // reached the file. Called at most once.
    virtual bool close() = 0;
};

// Opens `path` with a stdio mode ("wb", "ab", "w", "a"); null when it cannot
// be opened.
using FileSinkFactory = std::function<std::unique_ptr<FileSink>(const char* path, const char* mode)>;

// The default sink: a stdio stream with a 1 MiB buffer.
std::unique_ptr<FileSink> openStdioFileSink(const char* path, const char* mode);

// Opens a sink through the installed factory, or through the stdio one.
std::unique_ptr<FileSink> openFileSink(const char* path, const char* mode);

// TEST SEAM: every later openFileSink (and so every OutputStream::open) goes
// through `factory` until it is replaced; an empty factory restores stdio.
void setFileSinkFactoryForTesting(FileSinkFactory factory);

// Ready-made fault for tests: while an instance lives, every sink opened wraps
// the stdio sink; the write numbered `failWrite` (1-based, counted over all
// sinks opened since construction; 0 for none) reports failure and writes
// nothing, and with `failClose` every close reports failure (the file is still
// flushed and closed). The previous factory is the stdio one again afterwards.
class ScopedFileSinkFault {
public:
    ScopedFileSinkFault(long failWrite, bool failClose);
    ~ScopedFileSinkFault();
    ScopedFileSinkFault(const ScopedFileSinkFault&) = delete;
    ScopedFileSinkFault& operator=(const ScopedFileSinkFault&) = delete;

    // Writes seen so far (the failing one included).
    long writes() const { return *writes_; }

private:
    std::shared_ptr<long> writes_;
};

}  // namespace pelmora
