#include "tool/convert/checked_model_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <assimp/IOStream.hpp>

#include "platform/file_status.h"

namespace pelmora::tool {
namespace {

class CheckedStream : public Assimp::IOStream {
public:
    CheckedStream(std::FILE* file, std::string path, CheckedModelFiles& owner)
        : file_(file), path_(std::move(path)), owner_(owner) {}
    ~CheckedStream() override {
        if (std::fclose(file_) != 0) owner_.noteFailure(path_, errno);
    }

    size_t Read(void* buffer, size_t size, size_t count) override { return std::fread(buffer, size, count, file_); }
    size_t Write(const void* buffer, size_t size, size_t count) override {
        const size_t written = std::fwrite(buffer, size, count, file_);
        if (written < count) owner_.noteFailure(path_, errno);
        return written;
    }
    aiReturn Seek(size_t offset, aiOrigin origin) override {
        const int whence = origin == aiOrigin_CUR ? SEEK_CUR : origin == aiOrigin_END ? SEEK_END : SEEK_SET;
        return std::fseek(file_, static_cast<long>(offset), whence) == 0 ? aiReturn_SUCCESS : aiReturn_FAILURE;
    }
    size_t Tell() const override { return static_cast<size_t>(std::ftell(file_)); }
    size_t FileSize() const override {
        const long long size = system::fileSize(file_);
        return size > 0 ? static_cast<size_t>(size) : 0;
    }
    void Flush() override {
        if (std::fflush(file_) != 0) owner_.noteFailure(path_, errno);
    }

private:
    std::FILE* file_;
    std::string path_;
    CheckedModelFiles& owner_;
};

}  // namespace

bool CheckedModelFiles::Exists(const char* path) const { return system::pathKind(path) != system::PathKind::Missing; }

Assimp::IOStream* CheckedModelFiles::Open(const char* path, const char* mode) {
    std::FILE* file = std::fopen(path, mode);
    if (!file) return nullptr;
    return new CheckedStream(file, path, *this);
}

void CheckedModelFiles::Close(Assimp::IOStream* stream) { delete stream; }

void CheckedModelFiles::noteFailure(const std::string& path, int error) {
    if (failure_.empty()) failure_ = "cannot write " + path + ": " + std::strerror(error ? error : EIO);
}

}  // namespace pelmora::tool
