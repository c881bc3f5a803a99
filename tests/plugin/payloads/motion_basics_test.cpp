// The name table, the steps every builder shares, motionTranslate, payload
// patching and the out-of-memory path of every motion builder.
#include <gtest/gtest.h>

#include <new>
#include <set>
#include <string>

#include "hostsim/document/drawing.h"
#include "hostsim/host/emulated_host.h"
#include "plugin/host/current_callback.h"
#include "plugin/payloads/light_source.h"
#include "plugin/payloads/material_items.h"
#include "plugin/payloads/motion_builders.h"
#include "plugin/scene_file/result_code.h"
#include "tests/plugin/payloads/fail_alloc.h"
#include "tests/plugin/payloads/payload_bytes.h"

namespace pelmora {
namespace {

using test::f32At;
using test::i32At;

TEST(MotionNames, FixedIndexesAndNeutralModuleNames) {
    EXPECT_STREQ(motionName(0), "motionTranslate");
    EXPECT_STREQ(motionName(4), "motionLightParameter");
    EXPECT_STREQ(motionName(5), "motionCameraParameter");
    EXPECT_STREQ(motionName(8), "motionMaterial");
    EXPECT_STREQ(motionName(11), "motionTexture");
    EXPECT_STREQ(motionName(13), "4cShader");
    EXPECT_STREQ(motionName(25), "motionShear");
    EXPECT_STREQ(motionName(34), "motionCreateClipping");
    EXPECT_STREQ(motionName(38), "AdvancedShader");
    std::set<std::string> all;
    for (int i = 0; i < 47; ++i) {
        EXPECT_STRNE(motionName(i), "") << i;
        all.insert(motionName(i));
    }
    EXPECT_EQ(all.size(), 47u) << "names must be distinct";
    EXPECT_STREQ(motionName(44), "RenderModule6");
    EXPECT_STREQ(motionName(47), "");
    EXPECT_STREQ(motionName(-1), "");
}

TEST(MotionTranslate, TwelveBytesOfThreeFloats) {
    for (bool legacy : {false, true}) {
        MotionRecord r;
        const float p[3] = {1.0f, 2.0f, 3.0f};
        EXPECT_EQ(motionTranslate(r, legacy, 0, p), 1);
        EXPECT_EQ(r.kind, legacy ? 1 : 2);
        EXPECT_STREQ(r.name, "motionTranslate");
        EXPECT_EQ(r.dataFormat, 1);
        ASSERT_EQ(r.dataSize, 12);
        ASSERT_NE(r.data, nullptr);
        EXPECT_EQ(f32At(r.data, 0), 1.0f);
        EXPECT_EQ(f32At(r.data, 4), 2.0f);
        EXPECT_EQ(f32At(r.data, 8), 3.0f);
    }
}

TEST(MotionCommonSteps, RecordResetThenNameAndKey) {
    MotionRecord r;
    r.weight = 3.0f;
    r.motionFlags = 0x30;
    r.subName[0] = 'x';
    const float p[3] = {0, 0, 0};
    motionTranslate(r, false, 17, p);
    EXPECT_EQ(r.key, 17);
    EXPECT_EQ(r.weight, 0.5f);
    EXPECT_EQ(r.motionFlags, 0);
    EXPECT_EQ(r.subName[0], '\0');
}

TEST(MotionCommonSteps, RebuildingARecordFreesItsPayload) {
    // A leak here is reported by the sanitizer run.
    MotionRecord r;
    const float p[3] = {1, 2, 3};
    motionTranslate(r, false, 0, p);
    EXPECT_EQ(motionLightParameter(r, false, 0, 1, 1.0f, 1, 0.5f), 1);
    EXPECT_EQ(r.dataSize, 72);
    EXPECT_STREQ(r.name, "motionLightParameter");
}

TEST(PayloadPatch, WritesInsideOnlyAndSkipsRecordsWithoutPayload) {
    MotionRecord r;
    motionLightParameter(r, false, 0, 1, 1.0f, 1, 0.5f);
    setPayloadI32(r, 4, 0);
    setPayloadF32(r, 16, 0.25f);
    setPayloadF32(r, 68, 2.0f);  // last field
    EXPECT_EQ(i32At(r.data, 4), 0);
    EXPECT_EQ(f32At(r.data, 16), 0.25f);
    EXPECT_EQ(f32At(r.data, 68), 2.0f);
    setPayloadI32(r, 70, 7);  // would run past byte 72
    setPayloadI32(r, -4, 7);
    EXPECT_EQ(r.dataSize, 72);

    MotionRecord empty;
    setPayloadI32(empty, 0, 1);
    EXPECT_EQ(empty.data, nullptr);
}

void expectNoPayload(const MotionRecord& r, const char* name, int key) {
    EXPECT_STREQ(r.name, name);
    EXPECT_EQ(r.key, key);
    EXPECT_EQ(r.dataSize, 0);
    EXPECT_EQ(r.data, nullptr);
}

TEST(OutOfMemory, EveryMotionBuilderGivesFourWithoutPayload) {
    for (bool legacy : {false, true}) {
        test::FailAllocations fail;
        MotionRecord r;
        const float p[3] = {1, 2, 3};
        EXPECT_EQ(motionTranslate(r, legacy, 3, p), 4);
        expectNoPayload(r, "motionTranslate", 3);
        EXPECT_EQ(motionLightParameter(r, legacy, 3, 1, 1.0f, 1, 0.5f), 4);
        expectNoPayload(r, "motionLightParameter", 3);
        EXPECT_EQ(motionCameraParameter(r, legacy, 3, 0, 0.5f, 1, 1, 2, nullptr), 4);
        expectNoPayload(r, "motionCameraParameter", 3);
        EXPECT_EQ(motionMaterial(r, legacy, 3, 0.0f, nullptr, nullptr, nullptr, nullptr, nullptr), 4);
        expectNoPayload(r, "motionMaterial", 3);
        EXPECT_EQ(motionTexture(r, legacy, 3, "wood.png", 0, 1.0f, 1.0f, 1), 4);
        expectNoPayload(r, "motionTexture", 3);
    }
}

// The tree sources answer with plain yes and no, so a builder's out-of-memory
// result cannot travel on: it becomes std::bad_alloc, which fails the export,
// instead of an empty item in a file reported as written.
TEST(PayloadOutOfMemory, ATreeSourceFailsInsteadOfGivingAnEmptyItem) {
    EXPECT_EQ(requireBuilt(kDone), kDone);
    EXPECT_EQ(requireBuilt(kNothingDone), kNothingDone);
    EXPECT_THROW(requireBuilt(kOutOfMemory), std::bad_alloc);

    hostsim::EmulatedHost host(hostsim::parseDrawing(
        R"({"pelmoraDrawing": 1, "layers": [{"name": "G", "objects": [{"type": "light", "properties": {"54": [0, 0, 1000], "55": 1}}]}]})"));
    host::CallbackScope scope(host.callback());
    LightSource light(host.objectHandle("G", {0}), 0.0, 2);
    light.setRole(kRoleLightNode);
    for (unsigned index = 0; index < 3; ++index) {
        MotionRecord record;
        {
            test::FailAllocations fail;
            EXPECT_THROW(light.motion(index, false, record), std::bad_alloc) << index;
        }
        EXPECT_TRUE(light.motion(index, false, record)) << index;
        EXPECT_GT(record.dataSize, 0) << index;
    }
}

}  // namespace
}  // namespace pelmora
