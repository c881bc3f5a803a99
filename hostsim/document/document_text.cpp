#include "hostsim/document/document_text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>

#include "hostsim/document/drawing.h"
#include "hostsim/document/text_hash.h"

namespace pelmora::hostsim {
namespace {

// Pages are given back in steps of this many bytes: one system call per step.
constexpr std::size_t kReleaseStep = std::size_t{4} << 20;
// Kept before the reading position: the parser looks a little behind it.
constexpr std::size_t kReleaseMargin = std::size_t{64} << 10;
// A file whose bytes are hashed is read in steps of this many bytes.
constexpr std::size_t kHashedReadStep = std::size_t{2} << 20;

[[noreturn]] void unreadable(const std::string& what, const std::string& file, const std::string& reason) {
    throw DocumentError("", what + " the drawing document \"" + file + "\": " + reason);
}

[[noreturn]] void notAFile(const std::string& file) {
    throw DocumentError("", "the drawing document \"" + file + "\" is not a file");
}

[[noreturn]] void tooLarge(const std::string& file, std::size_t limit) {
    throw DocumentError("", "the drawing document \"" + file + "\" is larger than " + std::to_string(limit) + " bytes");
}

[[noreturn]] void becameShorter(const std::string& file) {
    throw DocumentError("", "the drawing document \"" + file + "\" became shorter while it was read");
}

// The system's side: zero-filled pages of our own, and a file read whole into them.
#ifdef _WIN32

std::size_t pageSize() {
    static const std::size_t size = [] {
        SYSTEM_INFO info{};
        GetSystemInfo(&info);
        return static_cast<std::size_t>(info.dwPageSize);
    }();
    return size;
}

void* mapPages(std::size_t bytes) { return VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE); }
void unmapPages(void* block, std::size_t) { VirtualFree(block, 0, MEM_RELEASE); }
// Pages reset on Windows stay readable (their content undefined); nothing reads them again.
bool dropPages(void* block, std::size_t bytes) {
    return VirtualAlloc(block, bytes, MEM_RESET, PAGE_READWRITE) != nullptr;
}

// In UTF-8, as the rest of the message: the system's own text is UTF-16.
std::string systemMessage(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message;
    if (length != 0 && text != nullptr) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
        message.resize(static_cast<std::size_t>(size > 0 ? size : 0));
        if (size > 0)
            WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), message.data(), size, nullptr, nullptr);
    }
    if (text != nullptr) LocalFree(text);
    if (message.empty()) message = "Windows error " + std::to_string(error);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    return message;
}

// The document's name is UTF-8, as everywhere in the emulated host.
std::wstring wideName(const std::string& file) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, file.data(), static_cast<int>(file.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    if (length > 0) MultiByteToWideChar(CP_UTF8, 0, file.data(), static_cast<int>(file.size()), wide.data(), length);
    return wide;
}

class OpenFile {
public:
    explicit OpenFile(HANDLE handle) : handle_(handle) {}
    ~OpenFile() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

// Opens `file` for reading; throws when it cannot be opened or is a folder.
HANDLE openDocument(const std::string& file) {
    const std::wstring name = wideName(file);
    // A folder cannot be opened as a file at all: say what it is rather than "access denied".
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) notAFile(file);
    const HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) unreadable("cannot open", file, systemMessage(GetLastError()));
    return handle;
}

std::uint64_t sizeOfDocument(const OpenFile& in, const std::string& file) {
    if (GetFileType(in.get()) != FILE_TYPE_DISK) notAFile(file);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(in.get(), &size)) unreadable("cannot read", file, systemMessage(GetLastError()));
    return static_cast<std::uint64_t>(size.QuadPart);
}

// Up to `n` bytes; 0 at the end of the file.
std::size_t readSome(const OpenFile& in, char* to, std::size_t n, const std::string& file) {
    DWORD got = 0;
    if (!ReadFile(in.get(), to, static_cast<DWORD>(std::min<std::size_t>(n, std::size_t{1} << 30)), &got, nullptr))
        unreadable("cannot read", file, systemMessage(GetLastError()));
    return got;
}

#else

std::size_t pageSize() {
    static const std::size_t size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return size;
}

void* mapPages(std::size_t bytes) {
    void* block = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    return block == MAP_FAILED ? nullptr : block;
}
void unmapPages(void* block, std::size_t bytes) { ::munmap(block, bytes); }
// Dropped anonymous pages read as zeros if touched again; nothing reads them.
bool dropPages(void* block, std::size_t bytes) { return ::madvise(block, bytes, MADV_DONTNEED) == 0; }

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

int openDocument(const std::string& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) unreadable("cannot open", file, std::strerror(errno));
    return fd;
}

std::uint64_t sizeOfDocument(const OpenFile& in, const std::string& file) {
    struct stat info {};
    if (::fstat(in.get(), &info) != 0) unreadable("cannot read", file, std::strerror(errno));
    if (!S_ISREG(info.st_mode)) notAFile(file);
    return static_cast<std::uint64_t>(info.st_size);
}

// Up to `n` bytes; 0 at the end of the file.
std::size_t readSome(const OpenFile& in, char* to, std::size_t n, const std::string& file) {
    for (;;) {
        const ssize_t got = ::read(in.get(), to, n);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) unreadable("cannot read", file, std::strerror(errno));
    }
}

#endif

}  // namespace

DocumentText DocumentText::allocate(std::size_t size) {
    // Anonymous pages of our own: the padding after the text reads as zeros,
    // and giving pages back cannot disturb the allocator's bookkeeping.
    const std::size_t page = pageSize();
    const std::size_t mapped = (size + kPadding + page - 1) / page * page;
    void* block = mapPages(mapped);
    if (block == nullptr) throw std::bad_alloc();
    return DocumentText(static_cast<char*>(block), size, mapped);
}

DocumentText DocumentText::fromText(std::string_view text) {
    DocumentText result = allocate(text.size());
    if (!text.empty()) std::memcpy(result.data_, text.data(), text.size());
    return result;
}

DocumentText DocumentText::fromFile(const std::string& file, std::size_t limit, TextHasher* hasher) {
    const OpenFile in(openDocument(file));
    const std::uint64_t size = sizeOfDocument(in, file);
    if (size > limit) tooLarge(file, limit);
    DocumentText result = allocate(static_cast<std::size_t>(size));
    // Read in steps that fit the processor's cache, each hashed while it is there.
    const std::size_t step = hasher != nullptr ? kHashedReadStep : result.size_;
    std::size_t done = 0, hashed = 0;
    while (done < result.size_) {
        const std::size_t got = readSome(in, result.data_ + done, std::min(step, result.size_ - done), file);
        if (got == 0) becameShorter(file);
        done += got;
        if (hasher == nullptr) continue;
        const std::size_t whole = done == result.size_ ? done : done / TextHasher::kBlock * TextHasher::kBlock;
        hasher->add(std::string_view(result.data_ + hashed, whole - hashed));
        hashed = whole;
    }
    return result;
}

DocumentText::DocumentText(DocumentText&& other) noexcept
    : data_(other.data_), size_(other.size_), mapped_(other.mapped_), released_(other.released_) {
    other.data_ = nullptr;
    other.mapped_ = 0;
}

DocumentText::~DocumentText() {
    if (data_ != nullptr) unmapPages(data_, mapped_);
}

void DocumentText::releaseBefore(const char* position) {
    if (data_ == nullptr || position < data_ || position > data_ + size_) return;
    const auto offset = static_cast<std::size_t>(position - data_);
    if (offset < released_ + kReleaseStep + kReleaseMargin) return;
    const std::size_t page = pageSize();
    const std::size_t end = (offset - kReleaseMargin) / page * page;
    if (dropPages(data_ + released_, end - released_)) released_ = end;
}

}  // namespace pelmora::hostsim
