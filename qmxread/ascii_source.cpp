// ASCII encoding: one value per line after tab indentation, strings in double
// quotes (nothing escaped), ints "%d", floats "%.5f", a char as its raw byte,
// payload bytes as decimals separated by blanks. Lines may end in "\r\n".
// Layout characters (blank, tab, CR, LF) between values are not counted.
#include <cassert>
#include <charconv>
#include <cstring>

#include "qmxread/value_source.h"

namespace pelmora::qmxread {

namespace {

constexpr std::size_t kMaxToken = 64;

bool isLayout(std::uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

class AsciiSource final : public ValueSource {
public:
    AsciiSource(std::span<const std::uint8_t> bytes, std::size_t start) : ValueSource(bytes, start) {}

    bool ascii() const override { return true; }

    std::string readKey(const char* what) override {
        openQuote(what);
        std::size_t begin = pos_;
        while (pos_ < bytes_.size() && bytes_[pos_] != '"') {
            if (bytes_[pos_] == '\n') failAtValue(std::string("line ends inside ") + what);
            if (pos_ - begin >= kMaxStringLength) failAtValue(std::string(what) + " is too long");
            ++pos_;
        }
        if (pos_ == bytes_.size()) failAtValue(std::string("file ends inside ") + what);
        std::string text(reinterpret_cast<const char*>(bytes_.data() + begin), pos_ - begin);
        ++pos_;
        return text;
    }

    // The text runs to the quote that ends its line, so a quote (or a line
    // end) inside the text is kept as it is.
    std::string readString(const char* what) override {
        openQuote(what);
        std::size_t begin = pos_;
        for (;;) {
            if (pos_ == bytes_.size()) failAtValue(std::string("file ends inside ") + what);
            if (pos_ - begin > kMaxStringLength) {
                failAtValue(std::string(what) + " is longer than " + std::to_string(kMaxStringLength) + " characters");
            }
            if (bytes_[pos_] == '"' && endsLine(pos_ + 1)) break;
            ++pos_;
        }
        std::string text(reinterpret_cast<const char*>(bytes_.data() + begin), pos_ - begin);
        ++pos_;
        return text;
    }

    std::int32_t readInt(const char* what) override {
        std::string token = readToken(what);
        const char* first = token.c_str();
        const char* last = first + token.size();
        bool negative = *first == '-';
        std::uint64_t magnitude = 0;
        auto [end, error] = std::from_chars(first + (negative ? 1 : 0), last, magnitude);
        // "%d" of a 32-bit value; an unsigned print of ids up to 2^32 - 1 is taken too.
        bool inRange = negative ? magnitude <= 0x80000000ull : magnitude <= 0xFFFFFFFFull;
        if (error != std::errc{} || end != last || !inRange || (negative && token.size() == 1)) {
            failAtValue(std::string("'") + token + "' is not an integer for " + what);
        }
        std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
        if (negative) bits = 0u - bits;
        return static_cast<std::int32_t>(bits);
    }

    float readFloat(const char* what) override {
        std::string token = readToken(what);
        const char* first = token.c_str();
        const char* last = first + token.size();
        float value = 0.0f;
        auto [end, error] = std::from_chars(first, last, value);
        if (error != std::errc{} || end != last) {
            failAtValue(std::string("'") + token + "' is not a number for " + what);
        }
        return value;
    }

    std::uint8_t readChar(const char* what) override {
        skipLayout();
        valueStart_ = pos_;
        if (pos_ == bytes_.size()) failAtValue(std::string("file ends before ") + what);
        return bytes_[pos_++];
    }

    // Each byte needs at least one digit.
    bool canHold(std::size_t count) const override { return count <= left(); }

    void readBytes(std::size_t count, std::vector<std::uint8_t>& out, const char* what) override {
        out.clear();
        out.reserve(std::min(count, left() / 2 + 1));
        std::size_t first = 0;
        for (std::size_t i = 0; i < count; ++i) {
            std::string token = readToken(what);
            if (i == 0) first = valueStart_;
            unsigned value = 256;
            auto [end, error] = std::from_chars(token.c_str(), token.c_str() + token.size(), value);
            if (error != std::errc{} || end != token.c_str() + token.size() || value > 255) {
                failAtValue("'" + token + "' is not a byte value (0 to 255) in " + what + " at byte " +
                            std::to_string(i));
            }
            out.push_back(static_cast<std::uint8_t>(value));
        }
        valueStart_ = first;
    }

    bool atEnd() override {
        skipLayout();
        return pos_ == bytes_.size();
    }

private:
    void skipLayout() {
        while (pos_ < bytes_.size() && isLayout(bytes_[pos_])) ++pos_;
    }

    bool endsLine(std::size_t at) const {
        if (at == bytes_.size() || bytes_[at] == '\n') return true;
        return bytes_[at] == '\r' && (at + 1 == bytes_.size() || bytes_[at + 1] == '\n');
    }

    void openQuote(const char* what) {
        skipLayout();
        valueStart_ = pos_;
        if (pos_ == bytes_.size()) failAtValue(std::string("file ends before ") + what);
        if (bytes_[pos_] != '"') failAtValue(std::string("expected a quoted ") + what);
        ++pos_;
    }

    std::string readToken(const char* what) {
        skipLayout();
        valueStart_ = pos_;
        if (pos_ == bytes_.size()) failAtValue(std::string("file ends before ") + what);
        std::size_t begin = pos_;
        while (pos_ < bytes_.size() && !isLayout(bytes_[pos_])) {
            if (pos_ - begin >= kMaxToken) failAtValue(std::string("overlong value for ") + what);
            ++pos_;
        }
        return std::string(reinterpret_cast<const char*>(bytes_.data() + begin), pos_ - begin);
    }
};

}  // namespace

std::unique_ptr<ValueSource> makeAsciiSource(std::span<const std::uint8_t> bytes, std::size_t start) {
    assert(start <= bytes.size());
    return std::make_unique<AsciiSource>(bytes, start);
}

}  // namespace pelmora::qmxread
