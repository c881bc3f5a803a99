#include "hostsim/document_text.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "hostsim/drawing.h"

namespace pelmora::hostsim {
namespace {

// Pages are given back in steps of this many bytes: one system call per step.
constexpr std::size_t kReleaseStep = std::size_t{4} << 20;
// Kept before the reading position: the parser looks a little behind it.
constexpr std::size_t kReleaseMargin = std::size_t{64} << 10;

std::size_t pageSize() {
    static const std::size_t size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return size;
}

// Closes a file descriptor however the reading ends.
class OpenFile {
public:
    explicit OpenFile(int fd) : fd_(fd) {}
    ~OpenFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

[[noreturn]] void unreadable(const std::string& what, const std::string& file, int error) {
    throw DocumentError("", what + " the drawing document \"" + file + "\": " + std::strerror(error));
}

}  // namespace

DocumentText DocumentText::allocate(std::size_t size) {
    // Anonymous pages of our own: the padding after the text reads as zeros,
    // and giving pages back cannot disturb the allocator's bookkeeping.
    const std::size_t page = pageSize();
    const std::size_t mapped = (size + kPadding + page - 1) / page * page;
    void* block = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (block == MAP_FAILED) throw std::bad_alloc();
    return DocumentText(static_cast<char*>(block), size, mapped);
}

DocumentText DocumentText::fromText(std::string_view text) {
    DocumentText result = allocate(text.size());
    if (!text.empty()) std::memcpy(result.data_, text.data(), text.size());
    return result;
}

DocumentText DocumentText::fromFile(const std::string& file, std::size_t limit) {
    OpenFile in(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) unreadable("cannot open", file, errno);
    struct stat info {};
    if (::fstat(in.get(), &info) != 0) unreadable("cannot read", file, errno);
    if (!S_ISREG(info.st_mode)) throw DocumentError("", "the drawing document \"" + file + "\" is not a file");
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (size > limit)
        throw DocumentError("", "the drawing document \"" + file + "\" is larger than " + std::to_string(limit) + " bytes");
    DocumentText result = allocate(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (done < result.size_) {
        const ssize_t n = ::read(in.get(), result.data_ + done, result.size_ - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) unreadable("cannot read", file, errno);
        if (n == 0) throw DocumentError("", "the drawing document \"" + file + "\" became shorter while it was read");
        done += static_cast<std::size_t>(n);
    }
    return result;
}

DocumentText::DocumentText(DocumentText&& other) noexcept
    : data_(other.data_), size_(other.size_), mapped_(other.mapped_), released_(other.released_) {
    other.data_ = nullptr;
    other.mapped_ = 0;
}

DocumentText::~DocumentText() {
    if (data_ != nullptr) ::munmap(data_, mapped_);
}

void DocumentText::releaseBefore(const char* position) {
    if (data_ == nullptr || position < data_ || position > data_ + size_) return;
    const auto offset = static_cast<std::size_t>(position - data_);
    if (offset < released_ + kReleaseStep + kReleaseMargin) return;
    const std::size_t page = pageSize();
    const std::size_t end = (offset - kReleaseMargin) / page * page;
    // Dropped anonymous pages read as zeros if touched again; nothing reads them.
    if (::madvise(data_ + released_, end - released_, MADV_DONTNEED) == 0) released_ = end;
}

}  // namespace pelmora::hostsim
