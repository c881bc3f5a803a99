#include "hostsim/document/document_text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

#include "hostsim/document/drawing.h"
#include "hostsim/document/text_hash.h"
#include "platform/input_file.h"
#include "platform/memory_pages.h"

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

using tool::system::InputFile;

// Opens `file` for reading; throws when it cannot be opened or is not a regular file.
std::uint64_t openDocument(InputFile& in, const std::string& file) {
    const InputFile::Answer opened = in.open(file);
    if (opened == InputFile::Answer::NotAFile) notAFile(file);
    if (opened == InputFile::Answer::Failed) unreadable("cannot open", file, in.why());
    std::uint64_t size = 0;
    const InputFile::Answer sized = in.size(size);
    if (sized == InputFile::Answer::NotAFile) notAFile(file);
    if (sized == InputFile::Answer::Failed) unreadable("cannot read", file, in.why());
    return size;
}

// Up to `n` bytes; 0 at the end of the file.
std::size_t readSome(InputFile& in, char* to, std::size_t n, const std::string& file) {
    std::size_t got = 0;
    if (in.readSome(to, n, got) != InputFile::Answer::Done) unreadable("cannot read", file, in.why());
    return got;
}

}  // namespace

DocumentText DocumentText::allocate(std::size_t size) {
    // Anonymous pages of our own: the padding after the text reads as zeros,
    // and giving pages back cannot disturb the allocator's bookkeeping.
    const std::size_t page = tool::system::pageSize();
    const std::size_t mapped = (size + kPadding + page - 1) / page * page;
    void* block = tool::system::mapPages(mapped);
    if (block == nullptr) throw std::bad_alloc();
    return DocumentText(static_cast<char*>(block), size, mapped);
}

DocumentText DocumentText::fromText(std::string_view text) {
    DocumentText result = allocate(text.size());
    if (!text.empty()) std::memcpy(result.data_, text.data(), text.size());
    return result;
}

DocumentText DocumentText::fromFile(const std::string& file, std::size_t limit, TextHasher* hasher) {
    InputFile in;
    const std::uint64_t size = openDocument(in, file);
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
    if (data_ != nullptr) tool::system::unmapPages(data_, mapped_);
}

void DocumentText::releaseBefore(const char* position) {
    if (data_ == nullptr || position < data_ || position > data_ + size_) return;
    const auto offset = static_cast<std::size_t>(position - data_);
    if (offset < released_ + kReleaseStep + kReleaseMargin) return;
    const std::size_t page = tool::system::pageSize();
    const std::size_t end = (offset - kReleaseMargin) / page * page;
    if (tool::system::dropPages(data_ + released_, end - released_)) released_ = end;
}

}  // namespace pelmora::hostsim
