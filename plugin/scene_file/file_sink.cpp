#include "plugin/scene_file/file_sink.h"

#include <cstdio>
#include <utility>

namespace pelmora {

namespace {

// Large enough that a whole mesh payload usually goes out in one system write.
constexpr std::size_t kStdioBuffer = std::size_t{1} << 20;

class StdioFileSink final : public FileSink {
public:
    explicit StdioFileSink(std::FILE* file) : file_(file) {
        // Without the buffer the stream falls back to its small default one,
        // which still works; only speed suffers.
        buffer_ = std::unique_ptr<char[]>(new (std::nothrow) char[kStdioBuffer]);
        if (buffer_ && std::setvbuf(file_, buffer_.get(), _IOFBF, kStdioBuffer) != 0) buffer_.reset();
    }
    ~StdioFileSink() override { close(); }

    bool write(const void* data, std::size_t size) override {
        if (file_ == nullptr) return false;
        if (size == 0) return true;
        return std::fwrite(data, size, 1, file_) == 1;
    }

    bool close() override {
        if (file_ == nullptr) return true;
        // fclose flushes; a failed flush (a full disk) shows only here.
        const bool flushed = std::fflush(file_) == 0 && std::ferror(file_) == 0;
        const bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        return flushed && closed;
    }

private:
    std::FILE* file_;
    std::unique_ptr<char[]> buffer_;
};

FileSinkFactory& installedFactory() {
    static FileSinkFactory factory;
    return factory;
}

class FaultyFileSink final : public FileSink {
public:
    FaultyFileSink(std::unique_ptr<FileSink> inner, std::shared_ptr<long> writes, long failWrite, bool failClose)
        : inner_(std::move(inner)), writes_(std::move(writes)), failWrite_(failWrite), failClose_(failClose) {}

    bool write(const void* data, std::size_t size) override {
        ++*writes_;
        if (*writes_ == failWrite_) return false;
        return inner_->write(data, size);
    }

    bool close() override {
        const bool ok = inner_->close();
        return ok && !failClose_;
    }

private:
    std::unique_ptr<FileSink> inner_;
    std::shared_ptr<long> writes_;
    long failWrite_;
    bool failClose_;
};

}  // namespace

std::unique_ptr<FileSink> openStdioFileSink(const char* path, const char* mode) {
    if (path == nullptr || path[0] == '\0' || mode == nullptr) return nullptr;
    std::FILE* file = std::fopen(path, mode);
    if (file == nullptr) return nullptr;
    std::unique_ptr<FileSink> sink(new (std::nothrow) StdioFileSink(file));
    if (!sink) std::fclose(file);
    return sink;
}

std::unique_ptr<FileSink> openFileSink(const char* path, const char* mode) {
    const FileSinkFactory& factory = installedFactory();
    if (factory) return factory(path, mode);
    return openStdioFileSink(path, mode);
}

void setFileSinkFactoryForTesting(FileSinkFactory factory) { installedFactory() = std::move(factory); }

ScopedFileSinkFault::ScopedFileSinkFault(long failWrite, bool failClose) : writes_(std::make_shared<long>(0)) {
    std::shared_ptr<long> writes = writes_;
    setFileSinkFactoryForTesting([writes, failWrite, failClose](const char* path, const char* mode) {
        std::unique_ptr<FileSink> inner = openStdioFileSink(path, mode);
        if (!inner) return std::unique_ptr<FileSink>();
        return std::unique_ptr<FileSink>(new FaultyFileSink(std::move(inner), writes, failWrite, failClose));
    });
}

ScopedFileSinkFault::~ScopedFileSinkFault() { setFileSinkFactoryForTesting(nullptr); }

}  // namespace pelmora
