// The legacy flag word: each place of the table, both ways, and the round trip.
#include <gtest/gtest.h>

#include <cstdint>

#include "base/legacy_flags.h"

namespace pelmora::base {
namespace {

TEST(LegacyFlags, EachBitOfTheTable) {
    struct Row {
        bool fromB;
        std::uint32_t source, word;
    };
    const Row rows[] = {
        {true, 0x1, 0x1},        {false, 0x1, 0x2},      {false, 0x2, 0x4},           {false, 0x4, 0x8},
        {true, 0x2, 0x10},       {true, 0x4, 0x20},      {false, 0x8, 0x40},          {false, 0x10, 0x80},
        {false, 0x20, 0x100},    {true, 0x40, 0x200},    {false, 0x40, 0x400},        {false, 0x80, 0x800},
        {false, 0x100, 0x1000},  {false, 0x200, 0x2000}, {true, 0x8, 0x4000},         {true, 0x10, 0x8000},
        {false, 0x400, 0x10000}, {true, 0x20, 0x20000},  {false, 1u << 11, 1u << 18}, {false, 1u << 24, 1u << 31}};
    for (const Row& r : rows) {
        NodeAttributes a;
        (r.fromB ? a.attrB : a.attrA) = r.source;
        EXPECT_EQ(foldLegacyFlags(a), r.word) << std::hex << r.source;
        NodeAttributes back = splitLegacyFlags(r.word);
        EXPECT_EQ(back.attrA, a.attrA);
        EXPECT_EQ(back.attrB, a.attrB);
    }
}

TEST(LegacyFlags, EveryWordSplitsAndFoldsBack) {
    std::uint32_t word = 0x9E3779B9u;
    for (int i = 0; i < 1000; ++i) {
        word = word * 1664525u + 1013904223u;
        EXPECT_EQ(foldLegacyFlags(splitLegacyFlags(word)), word);
    }
}

TEST(LegacyFlags, BitsWithoutAPlaceAreDroppedAndTheRestCombine) {
    EXPECT_EQ(foldLegacyFlags({0xFE000000u, 0xFFFFFF80u}), 0u);
    EXPECT_EQ(foldLegacyFlags({0x01FFFFFFu, 0x7Fu}), 0xFFFFFFFFu);
    EXPECT_EQ(foldLegacyFlags({0x1, 0x1}), 0x3u);
}

}  // namespace
}  // namespace pelmora::base
