#include "plugin/scene_file/legacy_flags.h"

#include <cstddef>

namespace pelmora {

namespace {

enum class Source { A, B };

struct FlagMove {
    Source source;
    std::uint32_t sourceBit;
    std::uint32_t wordBit;
};

// Where each source bit lands in the word. Above these, attrA bits 11 to 24
// move up by 7 (see kShiftedFirst).
constexpr FlagMove kFlagMoves[] = {
    {Source::B, 0x1, 0x1},       {Source::A, 0x1, 0x2},      {Source::A, 0x2, 0x4},    {Source::A, 0x4, 0x8},
    {Source::B, 0x2, 0x10},      {Source::B, 0x4, 0x20},     {Source::A, 0x8, 0x40},   {Source::A, 0x10, 0x80},
    {Source::A, 0x20, 0x100},    {Source::B, 0x40, 0x200},   {Source::A, 0x40, 0x400}, {Source::A, 0x80, 0x800},
    {Source::A, 0x100, 0x1000},  {Source::A, 0x200, 0x2000}, {Source::B, 0x8, 0x4000}, {Source::B, 0x10, 0x8000},
    {Source::A, 0x400, 0x10000}, {Source::B, 0x20, 0x20000},
};

constexpr unsigned kShiftedFirst = 11;
constexpr unsigned kShiftedLast = 24;
constexpr unsigned kShift = 7;

}  // namespace

std::uint32_t legacyFlagWord(std::uint32_t attrA, std::uint32_t attrB) {
    std::uint32_t word = 0;
    for (const FlagMove& move : kFlagMoves) {
        const std::uint32_t source = move.source == Source::A ? attrA : attrB;
        if ((source & move.sourceBit) != 0) word |= move.wordBit;
    }
    for (unsigned k = kShiftedFirst; k <= kShiftedLast; ++k)
        if ((attrA & (std::uint32_t{1} << k)) != 0) word |= std::uint32_t{1} << (k + kShift);
    return word;
}

}  // namespace pelmora
