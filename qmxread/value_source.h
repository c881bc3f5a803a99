// The values of a QMX file one by one, in either encoding. Every read checks
// the rest of the file first and throws ReadError naming the value's position.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "qmxread/read_error.h"

namespace pelmora::qmxread {

// Longest text accepted in a string value: far above what a writer stores
// (254 characters), low enough to stop a runaway scan early.
inline constexpr std::size_t kMaxStringLength = 4096;

class ValueSource {
public:
    virtual ~ValueSource() = default;

    virtual bool ascii() const = 0;
    // A header key, or the brace that ends the header (keys share a line with
    // their value in ASCII, so a key ends at its closing quote).
    virtual std::string readKey(const char* what) = 0;
    virtual std::string readString(const char* what) = 0;
    virtual std::int32_t readInt(const char* what) = 0;
    virtual float readFloat(const char* what) = 0;
    virtual std::uint8_t readChar(const char* what) = 0;
    // Could `count` payload bytes still follow? Checked before any allocation.
    virtual bool canHold(std::size_t count) const = 0;
    virtual void readBytes(std::size_t count, std::vector<std::uint8_t>& out, const char* what) = 0;
    // Nothing but layout characters left.
    virtual bool atEnd() = 0;

    // Where reading stands now.
    std::size_t position() const { return pos_; }
    // Where the last value read began.
    std::size_t valueOffset() const { return valueStart_; }
    // Throws ReadError for `offset`, with its line in ASCII.
    [[noreturn]] void failAt(std::size_t offset, const std::string& message) const;
    [[noreturn]] void failAtValue(const std::string& message) const { failAt(valueStart_, message); }

protected:
    explicit ValueSource(std::span<const std::uint8_t> bytes, std::size_t start)
        : bytes_(bytes), pos_(start), valueStart_(start) {}

    std::size_t lineOf(std::size_t offset) const;
    std::size_t left() const { return bytes_.size() - pos_; }

    std::span<const std::uint8_t> bytes_;
    std::size_t pos_;
    std::size_t valueStart_;
};

// `start`: the offset just after the encoding key ("BINARY" and its NUL, or "ASCII" in quotes).
std::unique_ptr<ValueSource> makeBinarySource(std::span<const std::uint8_t> bytes, std::size_t start);
std::unique_ptr<ValueSource> makeAsciiSource(std::span<const std::uint8_t> bytes, std::size_t start);

}  // namespace pelmora::qmxread
