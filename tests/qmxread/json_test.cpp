// JSON form of a read file: texts made valid UTF-8, floats in their shortest form.
#include <gtest/gtest.h>

#include "qmxread/qmx_json.h"
#include "qmxread/qmx_reader.h"
#include "tests/support/sample_trees.h"

using namespace pelmora::qmxread;
using namespace qmxtest;

namespace {

TEST(JsonText, Utf8IsKeptAndOtherBytesAreTakenAsLatin1) {
    EXPECT_EQ(displayText("caf\xC3\xA9"), "caf\xC3\xA9");
    EXPECT_EQ(displayText("caf\xE9"), "caf\xC3\xA9");
    EXPECT_EQ(displayText("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xC2\x80");  // a lone surrogate is not UTF-8
    EXPECT_EQ(displayText("\xE6\xB3"), "\xC3\xA6\xC2\xB3");              // cut sequence
}

TEST(JsonFloat, ShortestDecimalOfTheSingle) {
    EXPECT_EQ(jsonFloat(0.85f).dump(), "0.85");
    EXPECT_EQ(jsonFloat(0.785375f).dump(), "0.785375");
    EXPECT_EQ(jsonFloat(-3.0f).dump(), "-3.0");
    EXPECT_TRUE(jsonFloat(std::numeric_limits<float>::quiet_NaN()).is_null());
    EXPECT_TRUE(jsonFloat(-std::numeric_limits<float>::infinity()).is_null());
}

TEST(JsonTree, LegacyFilesShowTheirExtraValuesAndNoCurrentOnlyOnes) {
    THeader h;
    h.legacy = true;
    QmxFile file = readQmx(build(false, h, sampleTree(true)));
    auto json = toJson(file);
    EXPECT_EQ(json["layout"], "legacy");
    EXPECT_FALSE(json["header"].contains("SubFormat"));
    const auto& light = json["root"]["children"][0];
    EXPECT_EQ(light["legacy"]["flagWord"], 0x60002);
    const auto& motion = light["motions"][1];
    EXPECT_FALSE(motion.contains("extraName"));
    EXPECT_EQ(motion["legacy"]["flag10"], 1);
    EXPECT_FALSE(motion.contains("byteSum"));
    EXPECT_EQ(json["root"]["children"][2]["mesh"]["layout"], "legacy");
    EXPECT_EQ(json["root"]["children"][2]["mesh"]["vertexBytes"], 36);
}

TEST(JsonTree, UnnamedPayloadFieldsStandApart) {
    THeader h;
    TNode root;
    TMotion material;
    material.name = "motionMaterial";
    material.dataFormat = 3;
    material.data = PayloadBuilder(164).f32(112, 10.0f).i32(140, 19).data;
    root.motions = {material};
    auto json = toJson(readQmx(build(false, h, root)));
    const auto& payload = json["root"]["motions"][0]["payload"];
    EXPECT_EQ(payload["layout"], "current");
    EXPECT_EQ(payload["specularpower"], 10.0);
    EXPECT_EQ(payload["unnamed"]["@140"], 19);
    EXPECT_FALSE(payload.contains("@140"));
}

}  // namespace
