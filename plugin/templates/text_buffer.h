// The whole text of one template or id table file, read in one request and
// kept unchanged with a 0 byte after it, so the tokenizer can work in place.
#pragma once

#include <cstdint>
#include <string>

namespace pelmora {

class TextBuffer {
public:
    // Reads the whole file. False when it cannot be opened (no text then),
    // and when the read falls short (the text then holds what was read). A
    // file whose size does not fit the 32-bit length is treated as one that
    // cannot be opened. Out of memory throws std::bad_alloc: the export fails
    // rather than run without a template or the id table.
    bool load(const std::string& path);
    // Takes text that is already in memory (the same limits apply).
    bool assign(const char* data, std::size_t size);

    // The first byte of the text; text()[length()] is always 0.
    char* text() { return storage_.data(); }
    std::int32_t length() const { return static_cast<std::int32_t>(storage_.size()); }

private:
    // A std::string keeps the terminating 0 past its last byte, which is the
    // one byte the tokenizer relies on and never overwrites with anything else.
    std::string storage_;
};

}  // namespace pelmora
