#include "plugin/scene_file/byte_sum.h"

namespace pelmora {

std::uint32_t byteSum(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr) return 0;
    // Fixed-length inner blocks let the compiler turn the loop into wide
    // vector adds even at -O2; 256 bytes of at most 255 fit 16 bits per lane.
    constexpr std::size_t kBlock = 256;
    std::uint32_t total = 0;
    std::size_t i = 0;
    for (; i + kBlock <= size; i += kBlock) {
        std::uint16_t lanes[16] = {};
        for (std::size_t j = 0; j < kBlock; j += 16)
            for (std::size_t k = 0; k < 16; ++k) lanes[k] = static_cast<std::uint16_t>(lanes[k] + data[i + j + k]);
        for (std::size_t k = 0; k < 16; ++k) total += lanes[k];
    }
    for (; i < size; ++i) total += data[i];
    return total;
}

}  // namespace pelmora
