// The bytes of a drawing document as the JSON parser reads them: in pages of
// their own, followed by the zero bytes the parser may read past the end, and
// given back to the system page by page once the reading has passed them, so
// that the document and the drawing built from it are not both held whole.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pelmora::hostsim {

class TextHasher;

class DocumentText {
public:
    // Bytes the parser may read beyond the end of the text.
    static constexpr std::size_t kPadding = 64;

    // Throws std::bad_alloc when the system gives no memory, DocumentError
    // (empty path) when the file cannot be opened or read, is not a regular
    // file or is larger than `limit` bytes.
    // With a hasher, the bytes read are added to it too.
    static DocumentText fromFile(const std::string& file, std::size_t limit, TextHasher* hasher = nullptr);
    static DocumentText fromText(std::string_view text);

    DocumentText(DocumentText&& other) noexcept;
    DocumentText& operator=(DocumentText&&) = delete;
    DocumentText(const DocumentText&) = delete;
    DocumentText& operator=(const DocumentText&) = delete;
    ~DocumentText();

    const char* data() const { return data_; }
    // True until releaseBefore() gave pages back.
    bool intact() const { return released_ == 0; }
    std::size_t size() const { return size_; }
    // Size of the readable block: the text and at least kPadding bytes more.
    std::size_t capacity() const { return mapped_; }

    // Gives back the whole pages before `position` (a pointer into the text)
    // that lie at least `margin` bytes before it. The text there must not be
    // read again: it reads as zeros afterwards. Only worth a system call once
    // a few megabytes have been passed; smaller steps are ignored.
    void releaseBefore(const char* position);

private:
    DocumentText(char* data, std::size_t size, std::size_t mapped) : data_(data), size_(size), mapped_(mapped) {}
    static DocumentText allocate(std::size_t size);

    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t mapped_ = 0;
    std::size_t released_ = 0;  // bytes from the start already given back
};

}  // namespace pelmora::hostsim
