// The UTF-8 check against a plain decoder: every lead byte with every second
// byte (the rest continuation bytes), whole and cut short.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "base/utf8.h"

namespace pelmora {
namespace {

// Decodes by the definition: a sequence is well formed when it decodes to a
// scalar value in the shortest form its length allows.
std::size_t referenceLength(const std::string& bytes) {
    const auto lead = static_cast<unsigned char>(bytes[0]);
    if (lead < 0x80) return 1;
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || lead >= 0xF8 || bytes.size() < length) return 0;
    std::uint32_t code = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(bytes[k]);
        if ((next & 0xC0) != 0x80) return 0;
        code = (code << 6) | (next & 0x3F);
    }
    const std::uint32_t shortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < shortest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

bool referenceValid(const std::string& bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = referenceLength(bytes.substr(i));
        if (length == 0) return false;
        i += length;
    }
    return true;
}

TEST(Utf8, AgreesWithTheDefinitionOnEveryLeadAndSecondByte) {
    for (int lead = 0; lead < 256; ++lead) {
        for (int second = 0; second < 256; ++second) {
            const std::string whole{static_cast<char>(lead), static_cast<char>(second), '\x80', '\xBF'};
            for (std::size_t size = 1; size <= whole.size(); ++size) {
                const std::string bytes = whole.substr(0, size);
                const std::size_t expected = referenceLength(bytes);
                ASSERT_EQ(base::utf8SequenceLength(bytes, 0), expected) << lead << " " << second << " " << size;
                ASSERT_EQ(base::isValidUtf8(bytes), referenceValid(bytes)) << lead << " " << second << " " << size;
                ASSERT_EQ(base::isAscii(bytes), lead < 0x80 && (size == 1 || second < 0x80) && size <= 2);
            }
        }
    }
}

}  // namespace
}  // namespace pelmora
