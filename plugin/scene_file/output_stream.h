// The only writer of the scene file: one operation per value, encoded either as
// BINARY (little-endian values, NUL-terminated strings, no layout characters) or
// ASCII (text values, tab indentation, one value per line). Every operation
// gives 1 on success and 0 on failure; with no file open, writes give 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "plugin/scene_file/bounded_copy.h"
#include "plugin/scene_file/file_sink.h"
#include "plugin/scene_file/records.h"

namespace pelmora {

struct Quad4f {
    float a = 0.0f, b = 0.0f, c = 0.0f, d = 0.0f;
};

class OutputStream {
public:
    OutputStream() = default;
    ~OutputStream() { close(); }
    OutputStream(const OutputStream&) = delete;
    OutputStream& operator=(const OutputStream&) = delete;

    // Modes "wb"/"ab" (BINARY) or "w"/"a" (ASCII, the platform's text mode).
    // A null or empty path gives 0 and leaves everything as it was; otherwise
    // any open file is closed first. On success keeps the path (at most 254
    // characters).
    int open(const char* path, bool binary, bool append);
    // Flushes and closes the file, then clears the path and the binary flag.
    // Gives 0 when the final flush or close failed (the bytes may not be in
    // the file), else 1; with no file open, 1.
    int close();

    // BINARY: writes nothing and gives 0. ASCII: `depth` tabs.
    int indent(unsigned depth);
    // BINARY: writes nothing and gives 0. ASCII: "\n".
    int lineEnd();

    // The line-end flag adds "\n" after the value in ASCII; BINARY ignores it.
    int writeString(const char* text, bool end);  // BINARY with its NUL; ASCII in double quotes
    int writeChar(unsigned char c, bool end);     // one byte in both encodings
    int writeInt(std::int32_t v, bool end);
    int writeFloat(float v, bool end);
    int writeVector(const Vec3f& v, bool end);
    int writeQuad(const Quad4f& q, bool end);
    // BINARY: the bytes as one block. ASCII: "%d " per byte, "\n" after every
    // 21st. Null data gives 0.
    int writeBytes(const std::uint8_t* data, std::size_t size, bool end);

    bool isOpen() const { return sink_ != nullptr; }
    bool isBinary() const { return binary_; }
    const char* path() const { return path_; }

private:
    // Hands `size` bytes to the file in one block.
    int put(const void* bytes, std::size_t size);
    // ASCII: the value's text, then "\n" when `end` is set; counts when the
    // text was written.
    int putText(const char* text, std::size_t length, bool end);
    // BINARY: the little-endian bytes of `count` floats as one block.
    int putFloats(const float* values, std::size_t count);
    int printFloats(const float* values, std::size_t count, bool end);

    char path_[kNameArray] = {};
    std::unique_ptr<FileSink> sink_;
    bool binary_ = false;
};

}  // namespace pelmora
