// Reading payload bytes back in tests, independent of the plug-in's own
// encoders: little-endian fields by offset, texts, and whole-payload snapshots.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "plugin/scene_file/records.h"

namespace pelmora::test {

inline std::uint32_t u32At(const std::uint8_t* p, int off) {
    return std::uint32_t{p[off]} | std::uint32_t{p[off + 1]} << 8 | std::uint32_t{p[off + 2]} << 16 |
           std::uint32_t{p[off + 3]} << 24;
}
inline std::int32_t i32At(const std::uint8_t* p, int off) { return static_cast<std::int32_t>(u32At(p, off)); }
inline float f32At(const std::uint8_t* p, int off) {
    const std::uint32_t u = u32At(p, off);
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}
inline std::int16_t i16At(const std::uint8_t* p, int off) {
    return static_cast<std::int16_t>(std::uint16_t{p[off]} | std::uint16_t{p[off + 1]} << 8);
}
inline std::uint32_t bitsOf(float f) {
    std::uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}
inline std::string textAt(const std::uint8_t* p, int off) {
    return std::string(reinterpret_cast<const char*>(p + off));
}

template <class Record>
std::vector<std::uint8_t> snapshot(const Record& r) {
    if (r.data == nullptr || r.dataSize <= 0) return {};
    return std::vector<std::uint8_t>(r.data, r.data + r.dataSize);
}

// Expected 32-bit field: an int or the bits of a float.
struct Field {
    int offset;
    std::uint32_t bits;
};
inline Field I(int off, std::int32_t v) { return {off, static_cast<std::uint32_t>(v)}; }
inline Field F(int off, float v) { return {off, bitsOf(v)}; }

// The bytes a payload should hold: zero everywhere but the listed fields.
inline std::vector<std::uint8_t> expectedBytes(int size, const std::vector<Field>& fields) {
    std::vector<std::uint8_t> out(static_cast<std::size_t>(size), 0);
    for (const Field& f : fields) {
        for (int i = 0; i < 4; ++i)
            out[static_cast<std::size_t>(f.offset + i)] = static_cast<std::uint8_t>(f.bits >> (8 * i));
    }
    return out;
}
inline void putTextInto(std::vector<std::uint8_t>& out, int off, const std::string& text) {
    std::memcpy(out.data() + off, text.data(), text.size());
}

}  // namespace pelmora::test
