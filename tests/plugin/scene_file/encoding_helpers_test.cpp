#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "plugin/scene_file/byte_sum.h"

namespace pelmora {
namespace {

TEST(ByteSum, AddsUnsignedBytesAndWraps) {
    const std::uint8_t some[] = {1, 200, 3, 255};
    EXPECT_EQ(byteSum(some, 4), 459u);
    EXPECT_EQ(byteSum(some, 0), 0u);
    EXPECT_EQ(byteSum(nullptr, 10), 0u);

    // 16843010 bytes of 255 sum to 255 * 16843010 = 2^32 + 254, which wraps to 254.
    std::vector<std::uint8_t> big(16843010u, 255);
    EXPECT_EQ(byteSum(big.data(), big.size()), 254u);
}

TEST(ByteSum, EveryLengthAroundTheBlockSize) {
    std::vector<std::uint8_t> bytes(1100);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 37 + 11);
    for (std::size_t n : {1u, 15u, 16u, 17u, 255u, 256u, 257u, 511u, 512u, 513u, 1100u}) {
        std::uint32_t expected = 0;
        for (std::size_t i = 0; i < n; ++i) expected += bytes[i];
        EXPECT_EQ(byteSum(bytes.data(), n), expected) << n;
        // A start that is not aligned.
        std::uint32_t shifted = 0;
        for (std::size_t i = 1; i < n; ++i) shifted += bytes[i];
        EXPECT_EQ(byteSum(bytes.data() + 1, n - 1), shifted) << n;
    }
}

}  // namespace
}  // namespace pelmora
