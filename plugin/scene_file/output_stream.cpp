#include "plugin/scene_file/output_stream.h"

#include <bit>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>

namespace pelmora {

namespace {

void storeLittleEndian(std::uint32_t v, std::uint8_t* out) {
    out[0] = static_cast<std::uint8_t>(v);
    out[1] = static_cast<std::uint8_t>(v >> 8);
    out[2] = static_cast<std::uint8_t>(v >> 16);
    out[3] = static_cast<std::uint8_t>(v >> 24);
}

// Room for the longest single value text: four "%.5f" floats of FLT_MAX
// (about 46 characters each), blanks and the line end.
constexpr std::size_t kTextRoom = 256;

// ASCII payload lines: 21 values to a line.
constexpr std::size_t kBytesPerLine = 21;
// ASCII payloads are formatted and handed over in pieces of about this size.
constexpr std::size_t kTextChunk = 64 * 1024;

}  // namespace

int OutputStream::open(const char* path, bool binary, bool append) {
    if (path == nullptr || path[0] == '\0') return 0;
    close();
    binary_ = binary;
    const char* mode = binary ? (append ? "ab" : "wb") : (append ? "a" : "w");
    sink_ = openFileSink(path, mode);
    if (!sink_) return 0;
    boundedCopy(path_, path, kNameLimit);
    return 1;
}

int OutputStream::close() {
    int result = 1;
    if (sink_) {
        if (!sink_->close()) result = 0;
        sink_.reset();
    }
    binary_ = false;
    path_[0] = '\0';
    return result;
}

int OutputStream::put(const void* bytes, std::size_t size) {
    if (!sink_) return 0;
    return sink_->write(bytes, size) ? 1 : 0;
}

int OutputStream::putText(const char* text, std::size_t length, bool end) {
    if (!sink_ || length == 0) return 0;
    if (!end) return put(text, length);
    // The value and its line end leave in one block.
    char line[kTextRoom + 1];
    if (length < kTextRoom) {
        std::memcpy(line, text, length);
        line[length] = '\n';
        return put(line, length + 1);
    }
    if (!put(text, length)) return 0;
    return put("\n", 1);
}

int OutputStream::indent(unsigned depth) {
    if (!sink_ || binary_) return 0;
    if (depth == 0) return 1;
    std::string tabs(depth, '\t');
    return put(tabs.data(), tabs.size());
}

int OutputStream::lineEnd() {
    if (!sink_ || binary_) return 0;
    return put("\n", 1);
}

int OutputStream::writeString(const char* text, bool end) {
    if (!sink_ || text == nullptr) return 0;
    const std::size_t length = std::strlen(text);
    if (binary_) return put(text, length + 1);
    std::string quoted;
    quoted.reserve(length + 3);
    quoted.push_back('"');
    quoted.append(text, length);
    quoted.push_back('"');
    if (end) quoted.push_back('\n');
    return put(quoted.data(), quoted.size());
}

int OutputStream::writeChar(unsigned char c, bool end) {
    if (!sink_) return 0;
    if (binary_) return put(&c, 1);
    const char text = static_cast<char>(c);
    return putText(&text, 1, end);
}

int OutputStream::writeInt(std::int32_t v, bool end) {
    if (!sink_) return 0;
    if (binary_) {
        std::uint8_t bytes[4];
        storeLittleEndian(static_cast<std::uint32_t>(v), bytes);
        return put(bytes, sizeof bytes);
    }
    char text[kTextRoom];
    const int n = std::snprintf(text, sizeof text, "%d", static_cast<int>(v));
    if (n <= 0) return 0;
    return putText(text, static_cast<std::size_t>(n), end);
}

int OutputStream::putFloats(const float* values, std::size_t count) {
    std::uint8_t bytes[16];
    if (count > sizeof bytes / 4) return 0;  // a quad at most
    for (std::size_t i = 0; i < count; ++i) storeLittleEndian(std::bit_cast<std::uint32_t>(values[i]), bytes + 4 * i);
    return put(bytes, 4 * count);
}

int OutputStream::printFloats(const float* values, std::size_t count, bool end) {
    // The text of "%.5f" in the C locale, whatever locale the host process has
    // set: a comma-decimal locale would make printf write "0,00000", which no
    // reader of the format takes. to_chars gives the same exactly rounded digits.
    char text[kTextRoom];
    char* out = text;
    char* const last = text + sizeof text;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            if (out == last) return 0;
            *out++ = ' ';
        }
        const auto printed = std::to_chars(out, last, static_cast<double>(values[i]), std::chars_format::fixed, 5);
        if (printed.ec != std::errc()) return 0;
        out = printed.ptr;
    }
    return putText(text, static_cast<std::size_t>(out - text), end);
}

int OutputStream::writeFloat(float v, bool end) {
    if (!sink_) return 0;
    return binary_ ? putFloats(&v, 1) : printFloats(&v, 1, end);
}

int OutputStream::writeVector(const Vec3f& v, bool end) {
    if (!sink_) return 0;
    const float values[3] = {v.x, v.y, v.z};
    return binary_ ? putFloats(values, 3) : printFloats(values, 3, end);
}

int OutputStream::writeQuad(const Quad4f& q, bool end) {
    if (!sink_) return 0;
    const float values[4] = {q.a, q.b, q.c, q.d};
    return binary_ ? putFloats(values, 4) : printFloats(values, 4, end);
}

int OutputStream::writeBytes(const std::uint8_t* data, std::size_t size, bool end) {
    if (!sink_ || data == nullptr) return 0;
    if (binary_) return size == 0 ? 1 : put(data, size);

    std::string text;
    text.reserve(kTextChunk + 8);
    for (std::size_t i = 0; i < size; ++i) {
        char value[8];
        const int n = std::snprintf(value, sizeof value, "%u ", static_cast<unsigned>(data[i]));
        text.append(value, static_cast<std::size_t>(n));
        if ((i + 1) % kBytesPerLine == 0) text.push_back('\n');
        if (text.size() >= kTextChunk) {
            if (!put(text.data(), text.size())) return 0;
            text.clear();
        }
    }
    if (!text.empty() && !put(text.data(), text.size())) return 0;
    if (end && !put("\n", 1)) return 0;
    return 1;
}

}  // namespace pelmora
