// BINARY encoding: NUL-terminated strings, little-endian 4-byte ints and
// floats, single raw bytes, payloads as one block, no layout characters.
#include <bit>
#include <cassert>
#include <cstring>

#include "qmxread/value_source.h"

namespace pelmora::qmxread {

namespace {

class BinarySource final : public ValueSource {
public:
    BinarySource(std::span<const std::uint8_t> bytes, std::size_t start) : ValueSource(bytes, start) {}

    bool ascii() const override { return false; }

    std::string readKey(const char* what) override { return readString(what); }

    std::string readString(const char* what) override {
        valueStart_ = pos_;
        std::size_t scan = std::min(left(), kMaxStringLength + 1);
        const void* nul = scan == 0 ? nullptr : std::memchr(bytes_.data() + pos_, 0, scan);
        if (nul == nullptr) {
            if (left() == 0) failAtValue(std::string("file ends before ") + what);
            if (scan == left()) failAtValue(std::string("file ends inside ") + what + " (no terminating NUL)");
            failAtValue(std::string(what) + " is longer than " + std::to_string(kMaxStringLength) +
                        " bytes (no terminating NUL)");
        }
        std::size_t length = static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - (bytes_.data() + pos_));
        std::string text(reinterpret_cast<const char*>(bytes_.data() + pos_), length);
        pos_ += length + 1;
        return text;
    }

    std::int32_t readInt(const char* what) override {
        const std::uint8_t* p = take(4, what);
        std::uint32_t v = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                          (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
        return static_cast<std::int32_t>(v);
    }

    float readFloat(const char* what) override {
        return std::bit_cast<float>(static_cast<std::uint32_t>(readInt(what)));
    }

    std::uint8_t readChar(const char* what) override { return *take(1, what); }

    bool canHold(std::size_t count) const override { return count <= left(); }

    void readBytes(std::size_t count, std::vector<std::uint8_t>& out, const char* what) override {
        const std::uint8_t* p = take(count, what);
        out.assign(p, p + count);
    }

    bool atEnd() override { return left() == 0; }

private:
    const std::uint8_t* take(std::size_t count, const char* what) {
        valueStart_ = pos_;
        if (left() < count) {
            failAtValue(std::string("file ends inside ") + what + " (" + std::to_string(count) + " bytes needed, " +
                        std::to_string(left()) + " left)");
        }
        const std::uint8_t* p = bytes_.data() + pos_;
        pos_ += count;
        return p;
    }
};

}  // namespace

std::unique_ptr<ValueSource> makeBinarySource(std::span<const std::uint8_t> bytes, std::size_t start) {
    assert(start <= bytes.size());
    return std::make_unique<BinarySource>(bytes, start);
}

}  // namespace pelmora::qmxread
