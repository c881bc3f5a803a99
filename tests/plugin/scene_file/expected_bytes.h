// Builds the bytes a test expects in a scene file, value by value, from the
// file's rules (little-endian integers and floats, NUL-terminated strings) or,
// for ASCII, from its text rules; never from the writer itself.
#pragma once

#include <bit>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace pelmora::scene_test {

class ExpectedBinary {
public:
    ExpectedBinary& str(const std::string& text) {
        bytes_.insert(bytes_.end(), text.begin(), text.end());
        bytes_.push_back(0);
        return *this;
    }
    ExpectedBinary& i32(std::int32_t v) { return u32(static_cast<std::uint32_t>(v)); }
    ExpectedBinary& u32(std::uint32_t v) {
        for (int shift = 0; shift < 32; shift += 8) bytes_.push_back(static_cast<std::uint8_t>(v >> shift));
        return *this;
    }
    ExpectedBinary& f32(float v) { return u32(std::bit_cast<std::uint32_t>(v)); }
    ExpectedBinary& vec(float x, float y, float z) { return f32(x).f32(y).f32(z); }
    ExpectedBinary& byte(std::uint8_t b) {
        bytes_.push_back(b);
        return *this;
    }
    ExpectedBinary& raw(const std::vector<std::uint8_t>& more) {
        bytes_.insert(bytes_.end(), more.begin(), more.end());
        return *this;
    }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

// ASCII lines: `line(depth, text)` is depth tabs, the text and "\n".
class ExpectedText {
public:
    ExpectedText& text(const std::string& t) {
        text_ += t;
        return *this;
    }
    ExpectedText& line(unsigned depth, const std::string& t) {
        text_.append(depth, '\t');
        text_ += t;
        text_ += '\n';
        return *this;
    }
    static std::string quoted(const std::string& t) { return "\"" + t + "\""; }
    const std::string& str() const { return text_; }

private:
    std::string text_;
};

}  // namespace pelmora::scene_test
