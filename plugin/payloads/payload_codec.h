// Little-endian encoding of payload fields, the {offset, bits} form in which
// every payload layout lists its defaults, and the zero-filled allocation.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#include "plugin/scene_file/bounded_copy.h"

namespace pelmora::payload {

inline void putU32(std::uint8_t* buf, std::size_t off, std::uint32_t v) {
    buf[off] = static_cast<std::uint8_t>(v);
    buf[off + 1] = static_cast<std::uint8_t>(v >> 8);
    buf[off + 2] = static_cast<std::uint8_t>(v >> 16);
    buf[off + 3] = static_cast<std::uint8_t>(v >> 24);
}
inline void putI32(std::uint8_t* buf, std::size_t off, std::int32_t v) {
    putU32(buf, off, static_cast<std::uint32_t>(v));
}
inline void putF32(std::uint8_t* buf, std::size_t off, float v) { putU32(buf, off, std::bit_cast<std::uint32_t>(v)); }
inline void putI16(std::uint8_t* buf, std::size_t off, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    buf[off] = static_cast<std::uint8_t>(u);
    buf[off + 1] = static_cast<std::uint8_t>(u >> 8);
}

inline std::uint32_t getU32(const std::uint8_t* buf, std::size_t off) {
    return static_cast<std::uint32_t>(buf[off]) | (static_cast<std::uint32_t>(buf[off + 1]) << 8) |
           (static_cast<std::uint32_t>(buf[off + 2]) << 16) | (static_cast<std::uint32_t>(buf[off + 3]) << 24);
}
inline std::int32_t getI32(const std::uint8_t* buf, std::size_t off) {
    return static_cast<std::int32_t>(getU32(buf, off));
}

// A text into a char array of the payload: at most `maxChars` characters,
// always NUL-terminated (the array must hold maxChars + 1 bytes).
inline void putText(std::uint8_t* buf, std::size_t off, const char* text, std::size_t maxChars) {
    boundedCopy(reinterpret_cast<char*>(buf + off), text, maxChars + 1);
}

// One non-zero default of a layout: the 32-bit pattern stored at `offset`.
// Fields absent from a defaults table are zero.
struct FieldDefault {
    std::int32_t offset;
    std::uint32_t bits;
};
constexpr FieldDefault i32(std::int32_t offset, std::int32_t v) { return {offset, static_cast<std::uint32_t>(v)}; }
constexpr FieldDefault f32(std::int32_t offset, float v) { return {offset, std::bit_cast<std::uint32_t>(v)}; }
constexpr FieldDefault f32bits(std::int32_t offset, std::uint32_t bits) { return {offset, bits}; }

// Compile-time check that a defaults table stays inside its payload.
template <std::size_t N>
constexpr bool fitsIn(const FieldDefault (&table)[N], std::int32_t size) {
    for (const FieldDefault& d : table) {
        if (d.offset < 0 || d.offset + 4 > size || d.offset % 4 != 0) return false;
    }
    return true;
}

template <std::size_t N>
void writeDefaults(std::uint8_t* buf, const FieldDefault (&table)[N]) {
    for (const FieldDefault& d : table) putU32(buf, static_cast<std::size_t>(d.offset), d.bits);
}

// A zero-filled payload block for a record's attach(), or null when memory is short.
inline std::uint8_t* allocate(std::size_t size) { return new (std::nothrow) std::uint8_t[size](); }

// The same with only the first `zeroed` bytes cleared, for payloads whose
// remaining bytes are all written right after (mesh vertices and lists).
inline std::uint8_t* allocateWithZeroedHead(std::size_t size, std::size_t zeroed) {
    auto* buf = new (std::nothrow) std::uint8_t[size];
    if (buf != nullptr) std::memset(buf, 0, zeroed < size ? zeroed : size);
    return buf;
}

}  // namespace pelmora::payload
