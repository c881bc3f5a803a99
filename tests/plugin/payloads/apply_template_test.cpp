// Laying template values over material and texture payloads: only given
// values, at their offsets, and never outside a legacy payload.
#include <gtest/gtest.h>

#include <vector>

#include "plugin/payloads/material_items.h"
#include "plugin/payloads/motion_builders.h"
#include "tests/plugin/payloads/payload_bytes.h"

namespace pelmora {
namespace {

using test::f32At;
using test::i32At;

// The bytes of `after` must equal `before` outside [from, to).
void expectSameOutside(const std::vector<std::uint8_t>& before, const MotionRecord& after,
                       std::vector<std::pair<int, int>> changed) {
    ASSERT_EQ(static_cast<std::size_t>(after.dataSize), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        bool inside = false;
        for (auto [from, to] : changed) inside = inside || (static_cast<int>(i) >= from && static_cast<int>(i) < to);
        if (!inside) { EXPECT_EQ(after.data[i], before[i]) << "byte " << i; }
    }
}

ColorValue colour(float r, float g, float b, float a) { return ColorValue{r, g, b, a, true}; }

void expectColour(const std::uint8_t* p, int off, float r, float g, float b, float a) {
    EXPECT_EQ(f32At(p, off), r);
    EXPECT_EQ(f32At(p, off + 4), g);
    EXPECT_EQ(f32At(p, off + 8), b);
    EXPECT_EQ(f32At(p, off + 12), a);
}

MaterialLayer fullLayer() {
    MaterialLayer l;
    l.diffuse = colour(0.1f, 0.2f, 0.3f, 0.0f);
    l.specular = colour(0.4f, 0.4f, 0.4f, 0.0f);
    l.transparent = colour(0.5f, 0.0f, 0.0f, 0.0f);
    l.reflexion = colour(0.0f, 0.6f, 0.0f, 0.0f);
    l.ambient = colour(0.0f, 0.0f, 0.7f, 0.0f);
    l.emissive = colour(1.0f, 1.0f, 0.0f, 0.0f);
    l.specularpower = {50.0, true};
    l.refractionindex = {1.5, true};
    l.maxreflexiondistance = {2.25, true};
    l.maxtransparencedistance = {3.75, true};
    return l;
}

TEST(ApplyMaterial, OnlyDiffuseAndSpecularPowerGiven) {
    MotionRecord r;
    const Colour4 d{{0.9f, 0.9f, 0.9f, 1.0f}};
    motionMaterial(r, false, 0, 0.0f, &d, nullptr, nullptr, nullptr, nullptr);
    const auto before = test::snapshot(r);
    MaterialLayer layer;
    layer.diffuse = colour(1.0f, 0.5f, 0.25f, 0.0f);
    layer.specularpower = {50.0, true};
    applyMaterialTemplate(r, layer);
    expectColour(r.data, 0, 1.0f, 0.5f, 0.25f, 0.0f);
    EXPECT_EQ(f32At(r.data, 112), 50.0f);
    expectSameOutside(before, r, {{0, 16}, {112, 116}});
}

TEST(ApplyMaterial, DefaultLayerHandsItsZeroDiffuse) {
    MotionRecord r;
    motionMaterial(r, false, 0, 0.0f, nullptr, nullptr, nullptr, nullptr, nullptr);
    const auto before = test::snapshot(r);
    applyMaterialTemplate(r, MaterialLayer{});
    expectColour(r.data, 0, 0.0f, 0.0f, 0.0f, 0.0f);
    expectSameOutside(before, r, {{0, 16}});
}

TEST(ApplyMaterial, EveryFieldAtItsCurrentOffset) {
    MotionRecord r;
    motionMaterial(r, false, 0, 0.0f, nullptr, nullptr, nullptr, nullptr, nullptr);
    const auto before = test::snapshot(r);
    applyMaterialTemplate(r, fullLayer());
    expectColour(r.data, 0, 0.1f, 0.2f, 0.3f, 0.0f);
    expectColour(r.data, 16, 0.4f, 0.4f, 0.4f, 0.0f);
    expectColour(r.data, 32, 0.5f, 0.0f, 0.0f, 0.0f);
    expectColour(r.data, 48, 0.0f, 0.6f, 0.0f, 0.0f);
    expectColour(r.data, 64, 0.0f, 0.0f, 0.7f, 0.0f);
    expectColour(r.data, 80, 1.0f, 1.0f, 0.0f, 0.0f);
    EXPECT_EQ(f32At(r.data, 112), 50.0f);
    EXPECT_EQ(f32At(r.data, 116), 1.5f);
    EXPECT_EQ(f32At(r.data, 120), 2.25f);
    EXPECT_EQ(f32At(r.data, 124), 3.75f);
    expectSameOutside(before, r, {{0, 96}, {112, 128}});
}

TEST(ApplyMaterial, LegacyPayloadTakesValuesAtItsOwnOffsets) {
    MotionRecord r;
    motionMaterial(r, true, 0, 0.0f, nullptr, nullptr, nullptr, nullptr, nullptr);
    const auto before = test::snapshot(r);
    applyMaterialTemplate(r, fullLayer());
    ASSERT_EQ(r.dataSize, 116);
    expectColour(r.data, 0, 0.1f, 0.2f, 0.3f, 0.0f);
    expectColour(r.data, 80, 1.0f, 1.0f, 0.0f, 0.0f);
    EXPECT_EQ(f32At(r.data, 96), 50.0f);
    EXPECT_EQ(f32At(r.data, 100), 1.5f);
    EXPECT_EQ(f32At(r.data, 104), 2.25f);
    EXPECT_EQ(f32At(r.data, 108), 3.75f);
    EXPECT_EQ(i32At(r.data, 112), 19);
    expectSameOutside(before, r, {{0, 112}});
}

TEST(ApplyMaterial, RecordWithoutMaterialPayloadIsLeftAlone) {
    MotionRecord empty;
    applyMaterialTemplate(empty, fullLayer());
    EXPECT_EQ(empty.data, nullptr);
    EXPECT_EQ(empty.dataSize, 0);

    MotionRecord other;
    const float p[3] = {1, 2, 3};
    motionTranslate(other, false, 0, p);
    const auto before = test::snapshot(other);
    applyMaterialTemplate(other, fullLayer());
    EXPECT_EQ(test::snapshot(other), before);
}

TextureParams fullTexture() {
    TextureParams t;
    t.fileName = "ignored.png";
    t.keepratio = {0, true};
    t.position = {Float2{{0.25f, 0.75f}}, true};
    t.size = {Float2{{1.0f, 0.5f}}, true};
    t.rotate = {90.0, true};
    t.repeatx = {3, true};
    t.repeaty = {4, true};
    t.invertx = {1, true};
    t.inverty = {1, true};
    t.bump = {0.125, true};
    t.apply = {5, true};
    t.mappingtype = {9, true};
    t.cutout = {1, true};
    t.cutoutcolor = colour(1.0f, 0.0f, 1.0f, 0.0f);
    t.deltacutout = colour(0.1f, 0.1f, 0.1f, 0.0f);
    t.mixcolor = {255, true};
    return t;
}

TEST(ApplyTexture, EveryFieldAtItsCurrentOffset) {
    MotionRecord r;
    motionTexture(r, false, 0, "wood.png", 0, 2.0f, 2.0f, 1);
    const auto before = test::snapshot(r);
    applyTextureTemplate(r, fullTexture());
    expectColour(r.data, 0, 1.0f, 0.0f, 1.0f, 0.0f);
    expectColour(r.data, 16, 0.1f, 0.1f, 0.1f, 0.0f);
    expectColour(r.data, 32, 1.0f, 1.0f, 1.0f, 1.0f);
    EXPECT_EQ(f32At(r.data, 48), 0.25f);
    EXPECT_EQ(f32At(r.data, 52), 0.75f);
    EXPECT_EQ(f32At(r.data, 56), 1.0f);
    EXPECT_EQ(f32At(r.data, 60), 0.5f);
    EXPECT_EQ(i32At(r.data, 68), 0);
    EXPECT_EQ(f32At(r.data, 72), static_cast<float>(90.0 * 3.1415926535898 / 180.0));
    EXPECT_NEAR(f32At(r.data, 72), 1.5707963, 1e-7);
    EXPECT_EQ(i32At(r.data, 76), 3);
    EXPECT_EQ(i32At(r.data, 80), 4);
    EXPECT_EQ(i32At(r.data, 84), 1);
    EXPECT_EQ(i32At(r.data, 88), 1);
    EXPECT_EQ(f32At(r.data, 92), 0.125f);
    EXPECT_EQ(i32At(r.data, 96), 5);
    EXPECT_EQ(i32At(r.data, 104), 1);
    EXPECT_EQ(i32At(r.data, 108), 255);
    EXPECT_EQ(f32At(r.data, 112), 1.0f);
    EXPECT_EQ(test::textAt(r.data, 136), "wood.png");
    // Offsets 32-47, 64-67, 100-103, 112-391 are not template fields.
    expectSameOutside(before, r, {{0, 32}, {48, 64}, {68, 100}, {104, 112}});
}

TEST(ApplyTexture, OnlyGivenFieldsChange) {
    MotionRecord r;
    motionTexture(r, false, 0, "wood.png", 0, 2.0f, 2.0f, 1);
    const auto before = test::snapshot(r);
    applyTextureTemplate(r, TextureParams{});
    EXPECT_EQ(test::snapshot(r), before);

    TextureParams onlyRotate;
    onlyRotate.rotate = {90.0, true};
    onlyRotate.keepratio.value = 0;  // not given
    applyTextureTemplate(r, onlyRotate);
    EXPECT_NEAR(f32At(r.data, 72), 1.5707963, 1e-7);
    expectSameOutside(before, r, {{72, 76}});
}

TEST(ApplyTexture, LegacyPayloadTakesOnlySizeAndRepeats) {
    MotionRecord r;
    motionTexture(r, true, 0, "wood.png", 2, 2.0f, 2.0f, 1);
    const auto before = test::snapshot(r);
    applyTextureTemplate(r, fullTexture());
    ASSERT_EQ(r.dataSize, 388);
    EXPECT_EQ(f32At(r.data, 16), 1.0f);
    EXPECT_EQ(f32At(r.data, 20), 0.5f);
    EXPECT_EQ(i32At(r.data, 36), 3);
    EXPECT_EQ(i32At(r.data, 40), 4);
    EXPECT_EQ(i32At(r.data, 60), 2) << "mapping type stays the builder's";
    expectSameOutside(before, r, {{16, 24}, {36, 44}});
}

TEST(ApplyTexture, RecordWithoutTexturePayloadIsLeftAlone) {
    MotionRecord r;
    EXPECT_EQ(motionTexture(r, false, 0, "", 0, 0.0f, 0.0f, 1), 2);
    applyTextureTemplate(r, fullTexture());
    EXPECT_EQ(r.data, nullptr);
    EXPECT_EQ(r.dataSize, 0);

    MotionRecord material;
    motionMaterial(material, false, 0, 0.0f, nullptr, nullptr, nullptr, nullptr, nullptr);
    const auto before = test::snapshot(material);
    applyTextureTemplate(material, fullTexture());
    EXPECT_EQ(test::snapshot(material), before);
}

}  // namespace
}  // namespace pelmora
