#include "base/legacy_flags.h"

namespace pelmora::base {
namespace {

struct FlagBit {
    bool fromB;  // the source bit is in attrB, else in attrA
    std::uint32_t source;
    std::uint32_t word;
};

constexpr FlagBit kFlagBits[] = {
    {true, 0x1, 0x1},     {false, 0x1, 0x2},       {false, 0x2, 0x4},      {false, 0x4, 0x8},      {true, 0x2, 0x10},
    {true, 0x4, 0x20},    {false, 0x8, 0x40},      {false, 0x10, 0x80},    {false, 0x20, 0x100},   {true, 0x40, 0x200},
    {false, 0x40, 0x400}, {false, 0x80, 0x800},    {false, 0x100, 0x1000}, {false, 0x200, 0x2000}, {true, 0x8, 0x4000},
    {true, 0x10, 0x8000}, {false, 0x400, 0x10000}, {true, 0x20, 0x20000},
};

// attrA bits 11 to 24 move up by 7 to word bits 18 to 31.
constexpr std::uint32_t kShiftedA = 0x01FFF800u;
constexpr int kShift = 7;

}  // namespace

std::uint32_t foldLegacyFlags(NodeAttributes attributes) {
    std::uint32_t word = 0;
    for (const FlagBit& bit : kFlagBits) {
        const std::uint32_t source = bit.fromB ? attributes.attrB : attributes.attrA;
        if (source & bit.source) word |= bit.word;
    }
    word |= (attributes.attrA & kShiftedA) << kShift;
    return word;
}

NodeAttributes splitLegacyFlags(std::uint32_t word) {
    NodeAttributes attributes;
    for (const FlagBit& bit : kFlagBits) {
        if ((word & bit.word) == 0) continue;
        (bit.fromB ? attributes.attrB : attributes.attrA) |= bit.source;
    }
    attributes.attrA |= (word >> kShift) & kShiftedA;
    return attributes;
}

}  // namespace pelmora::base
