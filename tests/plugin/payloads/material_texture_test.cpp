// The material and texture payloads in both layouts: defaults, given colours,
// strength scaling, texture size rules, repeat and file name.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugin/payloads/material_items.h"
#include "plugin/payloads/motion_builders.h"
#include "tests/plugin/payloads/payload_bytes.h"

namespace pelmora {
namespace {

using test::F;
using test::f32At;
using test::I;
using test::i32At;
using test::textAt;

std::vector<test::Field> colourAt(int off, float r, float g, float b, float a) {
    return {F(off, r), F(off + 4, g), F(off + 8, b), F(off + 12, a)};
}
std::vector<test::Field> join(std::vector<std::vector<test::Field>> parts) {
    std::vector<test::Field> out;
    for (auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST(Material, CurrentDefaults) {
    MotionRecord r;
    ASSERT_EQ(motionMaterial(r, false, 0, 0.0f, nullptr, nullptr, nullptr, nullptr, nullptr), 1);
    EXPECT_STREQ(r.name, "motionMaterial");
    EXPECT_EQ(r.dataFormat, 3);
    ASSERT_EQ(r.dataSize, 164);
    const auto expected = test::expectedBytes(164, join({colourAt(0, 0.9f, 0.9f, 0.9f, 1.0f),
                                                         colourAt(16, 0.8f, 0.8f, 0.8f, 0.8f),
                                                         colourAt(64, 0.27f, 0.27f, 0.27f, 0.3f),
                                                         {F(112, 10.0f), F(116, 1.0f), F(128, 1.0f), I(140, 19)}}));
    EXPECT_EQ(test::snapshot(r), expected);
}

TEST(Material, LegacyDefaults) {
    MotionRecord r;
    ASSERT_EQ(motionMaterial(r, true, 0, 0.0f, nullptr, nullptr, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(r.kind, 1);
    EXPECT_EQ(r.dataFormat, 2);
    ASSERT_EQ(r.dataSize, 116);
    const auto expected = test::expectedBytes(116, join({colourAt(0, 0.9f, 0.9f, 0.9f, 0.9f),
                                                         colourAt(16, 0.8f, 0.8f, 0.8f, 0.8f),
                                                         colourAt(64, 0.27f, 0.27f, 0.27f, 0.27f),
                                                         {F(96, 10.0f), F(100, 1.0f), I(112, 19)}}));
    EXPECT_EQ(test::snapshot(r), expected);
}

TEST(Material, StrengthScalesDiffuseInLegacyOnly) {
    const Colour4 red{{1.0f, 0.0f, 0.0f, 0.0f}};
    MotionRecord legacy;
    motionMaterial(legacy, true, 0, 0.5f, &red, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(f32At(legacy.data, 0), 0.5f);
    EXPECT_EQ(f32At(legacy.data, 4), 0.0f);
    EXPECT_EQ(f32At(legacy.data, 12), 0.0f);
    MotionRecord current;
    motionMaterial(current, false, 0, 0.5f, &red, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(f32At(current.data, 0), 1.0f);

    const Colour4 grey{{0.8f, 0.6f, 0.4f, 0.8f}};
    MotionRecord fourth;
    motionMaterial(fourth, true, 0, 0.5f, &grey, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(f32At(fourth.data, 0), 0.8f * 0.5f);
    EXPECT_EQ(f32At(fourth.data, 4), 0.6f * 0.5f);
    EXPECT_EQ(f32At(fourth.data, 8), 0.4f * 0.5f);
    EXPECT_EQ(f32At(fourth.data, 12), 0.8f) << "fourth component never scaled";
}

TEST(Material, StrengthOfOneOrZeroOrWithoutDiffuseNeverScales) {
    const Colour4 white{{1.0f, 1.0f, 1.0f, 1.0f}};
    for (float strength : {1.0f, 0.0f, 1.5f, -0.5f}) {
        MotionRecord r;
        motionMaterial(r, true, 0, strength, &white, nullptr, nullptr, nullptr, nullptr);
        EXPECT_EQ(f32At(r.data, 0), 1.0f) << strength;
    }
    MotionRecord noDiffuse;
    motionMaterial(noDiffuse, true, 0, 0.5f, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(f32At(noDiffuse.data, 0), 0.9f);
}

TEST(Material, GivenColoursReplaceDefaultsButNotAmbient) {
    const Colour4 d{{0.1f, 0.2f, 0.3f, 0.4f}}, s{{0.5f, 0.5f, 0.5f, 0.5f}}, t{{0.6f, 0.0f, 0.0f, 1.0f}},
        x{{0.0f, 0.7f, 0.0f, 0.0f}}, e{{0.0f, 0.0f, 0.25f, 0.0f}};
    MotionRecord r;
    motionMaterial(r, false, 0, 0.0f, &d, &s, &t, &x, &e);
    const auto expected = test::expectedBytes(164, join({colourAt(0, 0.1f, 0.2f, 0.3f, 0.4f),
                                                         colourAt(16, 0.5f, 0.5f, 0.5f, 0.5f),
                                                         colourAt(32, 0.6f, 0.0f, 0.0f, 1.0f),
                                                         colourAt(48, 0.0f, 0.7f, 0.0f, 0.0f),
                                                         colourAt(64, 0.27f, 0.27f, 0.27f, 0.3f),
                                                         colourAt(80, 0.0f, 0.0f, 0.25f, 0.0f),
                                                         {F(112, 10.0f), F(116, 1.0f), F(128, 1.0f), I(140, 19)}}));
    EXPECT_EQ(test::snapshot(r), expected);
}

TEST(Texture, CurrentLayoutWholePayload) {
    MotionRecord r;
    ASSERT_EQ(motionTexture(r, false, 0, "wood.png", 5, 2.0f, 0.0f, 1), 1);
    EXPECT_STREQ(r.name, "motionTexture");
    EXPECT_EQ(r.dataFormat, 4);
    ASSERT_EQ(r.dataSize, 392);
    auto expected = test::expectedBytes(
        392, join({colourAt(32, 1.0f, 1.0f, 1.0f, 1.0f),
                   {F(56, 2.0f), F(60, 0.0f), I(68, 1), I(76, 1), I(80, 1), I(96, 17), F(112, 1.0f)}}));
    test::putTextInto(expected, 136, "wood.png");
    EXPECT_EQ(test::snapshot(r), expected) << "no place for the mapping type";
}

TEST(Texture, LegacyLayoutWholePayload) {
    MotionRecord r;
    ASSERT_EQ(motionTexture(r, true, 0, "wood.png", 5, 2.0f, 3.0f, 0), 1);
    EXPECT_EQ(r.dataFormat, 3);
    ASSERT_EQ(r.dataSize, 388);
    auto expected = test::expectedBytes(388, {I(4, 1), F(16, 2.0f), F(20, 3.0f), F(24, 1.0f), F(28, 1.0f), I(36, 0),
                                              I(40, 0), I(56, 17), I(60, 5), F(104, 1.0f)});
    test::putTextInto(expected, 132, "wood.png");
    EXPECT_EQ(test::snapshot(r), expected);
}

TEST(Texture, UnusableSizeSetsTheFlagAndKeepsTheDefault) {
    struct Case {
        float x, y;
    };
    for (bool legacy : {false, true}) {
        const int sizeAt = legacy ? 16 : 56;
        const int flagsAt = legacy ? 124 : 116;
        for (Case c : {Case{0.0f, 2.0f}, Case{2.0f, -1.0f}, Case{-3.0f, 1.0f}}) {
            MotionRecord r;
            ASSERT_EQ(motionTexture(r, legacy, 0, "a.png", 0, c.x, c.y, 1), 1);
            EXPECT_EQ(i32At(r.data, flagsAt), 1);
            EXPECT_EQ(f32At(r.data, sizeAt), 1.0f);
            EXPECT_EQ(f32At(r.data, sizeAt + 4), 1.0f);
        }
        MotionRecord zeroHeight;
        motionTexture(zeroHeight, legacy, 0, "a.png", 0, 2.0f, 0.0f, 1);
        EXPECT_EQ(i32At(zeroHeight.data, flagsAt), 0);
        EXPECT_EQ(f32At(zeroHeight.data, sizeAt), 2.0f);
        EXPECT_EQ(f32At(zeroHeight.data, sizeAt + 4), 0.0f);
    }
}

TEST(Texture, RepeatSwitchSetsBothRepeats) {
    for (bool legacy : {false, true}) {
        const int at = legacy ? 36 : 76;
        MotionRecord on;
        motionTexture(on, legacy, 0, "a.png", 0, 1.0f, 1.0f, 7);
        EXPECT_EQ(i32At(on.data, at), 1);
        EXPECT_EQ(i32At(on.data, at + 4), 1);
        MotionRecord off;
        motionTexture(off, legacy, 0, "a.png", 0, 1.0f, 1.0f, 0);
        EXPECT_EQ(i32At(off.data, at), 0);
        EXPECT_EQ(i32At(off.data, at + 4), 0);
    }
}

TEST(Texture, FileNameKeepsAtMost254Characters) {
    const std::string longName(300, 'f');
    for (bool legacy : {false, true}) {
        MotionRecord r;
        motionTexture(r, legacy, 0, longName.c_str(), 0, 1.0f, 1.0f, 1);
        EXPECT_EQ(textAt(r.data, legacy ? 132 : 136), std::string(254, 'f'));
    }
}

TEST(Texture, AbsentOrEmptyFileNameLeavesTheRecordUntouched) {
    MotionRecord r;
    const float p[3] = {1, 2, 3};
    motionTranslate(r, false, 9, p);
    std::uint8_t* before = r.data;
    EXPECT_EQ(motionTexture(r, false, 0, "", 0, 1.0f, 1.0f, 1), 2);
    EXPECT_EQ(motionTexture(r, true, 0, nullptr, 0, 1.0f, 1.0f, 1), 2);
    EXPECT_STREQ(r.name, "motionTranslate");
    EXPECT_EQ(r.key, 9);
    EXPECT_EQ(r.data, before);
    EXPECT_EQ(r.dataSize, 12);
}

}  // namespace
}  // namespace pelmora
