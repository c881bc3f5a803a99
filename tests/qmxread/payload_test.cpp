// Payload tables and decoding, checked against payloads laid out by hand.
#include <gtest/gtest.h>

#include "qmxread/payload_decode.h"
#include "tests/support/sample_trees.h"

using namespace pelmora::qmxread;
using namespace qmxtest;

namespace {

std::uint32_t fieldBytes(const FieldDef& f) { return f.type == FieldType::Text ? f.count : 4 * f.count; }

TEST(PayloadTables, EveryTableCoversItsPayloadWithoutGapOrOverlap) {
    for (const PayloadLayout& layout : payloadLayouts()) {
        std::uint32_t next = 0;
        for (const FieldDef& field : layout.fields) {
            EXPECT_EQ(field.offset, next) << layout.motionName << " " << field.name;
            next = field.offset + fieldBytes(field);
        }
        EXPECT_EQ(next, layout.size) << layout.motionName;
    }
}

TEST(PayloadTables, SizesAndFormatsOfEveryKind) {
    auto find = [](const char* name, std::int32_t format) -> const PayloadLayout* {
        for (const PayloadLayout& l : payloadLayouts())
            if (std::string(l.motionName) == name && l.dataFormat == format) return &l;
        return nullptr;
    };
    EXPECT_EQ(find("motionTranslate", 1)->size, 12u);
    EXPECT_EQ(find("motionLightParameter", 1)->size, 72u);
    EXPECT_EQ(find("motionCameraParameter", 5)->size, 860u);
    EXPECT_EQ(find("motionCameraParameter", 2)->size, 952u);
    EXPECT_EQ(find("motionMaterial", 3)->size, 164u);
    EXPECT_EQ(find("motionMaterial", 2)->size, 116u);
    EXPECT_EQ(find("motionTexture", 4)->size, 392u);
    EXPECT_EQ(find("motionTexture", 3)->size, 388u);
}

TEST(MotionPayloads, CameraCurrentLayout) {
    PayloadBuilder p(860);
    p.f32(0, 0.6f).f32(12, 0.05f).f32(16, 30000.0f);
    p.text(36, "Image").text(36 + 256, "PNGPictWriter").text(36 + 384, "Module6");
    p.i32(36 + 640, 0xB1101E).i32(36 + 644, 64).i32(36 + 660, 640).i32(36 + 664, 480).i32(36 + 672, 2);
    p.i32(36 + 692, 100000).f32(36 + 792, 0.2f);
    auto decoded = decodeMotionPayload("motionCameraParameter", 5, p.data);
    ASSERT_TRUE(decoded);
    EXPECT_FLOAT_EQ(decoded->floatValue("viewAngle"), 0.6f);
    EXPECT_EQ(decoded->textValue("pictureName"), "Image");
    EXPECT_EQ(decoded->textValue("writerName"), "PNGPictWriter");
    EXPECT_EQ(decoded->textValue("rendererName"), "Module6");
    EXPECT_EQ(decoded->intValue("optionBits"), 0xB1101E);
    EXPECT_EQ(decoded->intValue("pictureWidth"), 640);
    EXPECT_EQ(decoded->intValue("pictureHeight"), 480);
    EXPECT_EQ(decoded->intValue("cameraValue"), 2);
    EXPECT_EQ(decoded->intValue("@680"), 64);
    EXPECT_EQ(decoded->intValue("@728"), 100000);
    EXPECT_FLOAT_EQ(decoded->floatValue("@828"), 0.2f);
    EXPECT_FLOAT_EQ(decoded->floatValue("@16"), 30000.0f);
}

TEST(MotionPayloads, CameraLegacyLayout) {
    PayloadBuilder p(952);
    p.f32(0, 0.7f).text(44, "shot.jpg").text(44 + 256, "JPGPictWriter").text(44 + 512, "Module6");
    p.i32(44 + 776, 1).i32(44 + 780, 800).i32(44 + 784, 600).i32(44 + 812, 1).i32(44 + 820, 0).i32(44 + 828, 9);
    p.i32(44 + 896, 64);
    auto decoded = decodeMotionPayload("motionCameraParameter", 2, p.data);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->layout->layout, LayoutTag::Legacy);
    EXPECT_EQ(decoded->textValue("pictureName"), "shot.jpg");
    EXPECT_EQ(decoded->textValue("writerName"), "JPGPictWriter");
    EXPECT_EQ(decoded->intValue("switchA"), 1);
    EXPECT_EQ(decoded->intValue("switchC"), 1);
    EXPECT_EQ(decoded->intValue("switchB"), 0);
    EXPECT_EQ(decoded->intValue("pictureWidth"), 800);
    EXPECT_EQ(decoded->intValue("pictureHeight"), 600);
    EXPECT_EQ(decoded->intValue("cameraValue"), 9);
    EXPECT_EQ(decoded->intValue("@940"), 64);
}

TEST(MotionPayloads, MaterialBothLayouts) {
    PayloadBuilder current(164);
    current.f32(0, 0.9f).f32(12, 1.0f).f32(64, 0.27f).f32(76, 0.3f).f32(112, 50.0f).f32(116, 1.5f).f32(124, 2.0f);
    current.i32(140, 19);
    auto c = decodeMotionPayload("motionMaterial", 3, current.data);
    ASSERT_TRUE(c);
    EXPECT_FLOAT_EQ(c->floatValue("diffuse", 3), 1.0f);
    EXPECT_FLOAT_EQ(c->floatValue("ambient", 0), 0.27f);
    EXPECT_FLOAT_EQ(c->floatValue("ambient", 3), 0.3f);
    EXPECT_FLOAT_EQ(c->floatValue("specularpower"), 50.0f);
    EXPECT_FLOAT_EQ(c->floatValue("refractionindex"), 1.5f);
    EXPECT_FLOAT_EQ(c->floatValue("maxtransparencedistance"), 2.0f);
    EXPECT_EQ(c->intValue("@140"), 19);

    PayloadBuilder legacy(116);
    legacy.f32(80, 0.25f).f32(96, 10.0f).f32(100, 1.0f).i32(112, 19);
    auto l = decodeMotionPayload("motionMaterial", 2, legacy.data);
    ASSERT_TRUE(l);
    EXPECT_FLOAT_EQ(l->floatValue("emissive", 0), 0.25f);
    EXPECT_FLOAT_EQ(l->floatValue("specularpower"), 10.0f);
    EXPECT_EQ(l->intValue("@112"), 19);
}

TEST(MotionPayloads, TextureBothLayouts) {
    PayloadBuilder current(392);
    current.f32(48, 0.1f).f32(52, 0.2f).f32(56, 2.0f).f32(60, 3.0f).i32(68, 1).f32(72, 1.5707963f);
    current.i32(76, 1).i32(80, 0).i32(84, 1).f32(92, 0.5f).i32(96, 17).i32(104, 1).i32(108, 2).i32(116, 1);
    current.text(136, "brick.png");
    auto c = decodeMotionPayload("motionTexture", 4, current.data);
    ASSERT_TRUE(c);
    EXPECT_FLOAT_EQ(c->floatValue("position", 1), 0.2f);
    EXPECT_FLOAT_EQ(c->floatValue("size", 0), 2.0f);
    EXPECT_EQ(c->intValue("keepratio"), 1);
    EXPECT_FLOAT_EQ(c->floatValue("rotate"), 1.5707963f);
    EXPECT_EQ(c->intValue("repeaty"), 0);
    EXPECT_EQ(c->intValue("invertx"), 1);
    EXPECT_FLOAT_EQ(c->floatValue("bump"), 0.5f);
    EXPECT_EQ(c->intValue("apply"), 17);
    EXPECT_EQ(c->intValue("cutout"), 1);
    EXPECT_EQ(c->intValue("mixcolor"), 2);
    EXPECT_EQ(c->intValue("textureFlags"), 1);
    EXPECT_EQ(c->textValue("fileName"), "brick.png");

    PayloadBuilder legacy(388);
    legacy.f32(16, 4.0f).i32(36, 1).i32(40, 1).i32(56, 17).i32(60, 3).i32(124, 1).text(132, "wood.bmp");
    auto l = decodeMotionPayload("motionTexture", 3, legacy.data);
    ASSERT_TRUE(l);
    EXPECT_FLOAT_EQ(l->floatValue("size", 0), 4.0f);
    EXPECT_EQ(l->intValue("mappingType"), 3);
    EXPECT_EQ(l->intValue("textureFlags"), 1);
    EXPECT_EQ(l->intValue("@56"), 17);
    EXPECT_EQ(l->textValue("fileName"), "wood.bmp");
}

TEST(MotionPayloads, TextWithoutNulTakesTheWholeArray) {
    PayloadBuilder p(392);
    for (std::size_t i = 136; i < 392; ++i) p.data[i] = 'a';
    auto decoded = decodeMotionPayload("motionTexture", 4, p.data);
    EXPECT_EQ(decoded->textValue("fileName"), std::string(256, 'a'));
}

TEST(MotionPayloads, UnknownKindsAndEmptyPayloadsAreLeftRaw) {
    EXPECT_FALSE(decodeMotionPayload("motionFog", 1, Bytes(8, 0)));
    EXPECT_FALSE(decodeMotionPayload("motionTranslate", 1, Bytes{}));
}

TEST(MotionPayloads, KnownKindWithAnotherSizeOrFormatIsAnError) {
    try {
        decodeMotionPayload("motionMaterial", 3, Bytes(116, 0));
        FAIL() << "no error";
    } catch (const PayloadError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "motionMaterial payload has dataFormat 3 and 116 bytes; expected dataFormat 3 "
                  "with 164 bytes or dataFormat 2 with 116 bytes");
    }
}

TEST(MeshPayload, CurrentLayoutWithVerticesAndPolygons) {
    MeshPayload mesh = decodeMeshPayload(2, currentMeshPayload());
    EXPECT_FALSE(mesh.legacy);
    EXPECT_EQ(mesh.vertexCount, 4);
    EXPECT_EQ(mesh.polygonCount, 2);
    EXPECT_EQ(mesh.indexBytes, 44);
    EXPECT_FLOAT_EQ(mesh.smoothingAngle, 0.5f);
    EXPECT_EQ(mesh.mappingType, 3);
    EXPECT_EQ(mesh.minusOne, -1);
    ASSERT_EQ(mesh.vertices.size(), 4u);
    EXPECT_FLOAT_EQ(mesh.vertices[2].y, 1.0f);
    ASSERT_EQ(mesh.polygons.size(), 2u);
    EXPECT_EQ(mesh.polygons[0].indices, (std::vector<std::uint32_t>{0, 1, 2}));
    EXPECT_EQ(mesh.polygons[1].indices, (std::vector<std::uint32_t>{0, 1, 2, 3}));
}

TEST(MeshPayload, HolesAreEachCountIndicesAndOneMoreValue) {
    PayloadBuilder p(40 + 12 * 3 + 4 * 9);
    p.i32(0, 3).i32(4, 1).i32(8, 36);
    const std::int32_t lists[] = {3, 0, 1, 2, 1, 2, 2, 1, 0};
    for (int i = 0; i < 9; ++i) p.i32(76 + 4 * i, lists[i]);
    MeshPayload mesh = decodeMeshPayload(2, p.data);
    ASSERT_EQ(mesh.polygons[0].holes.size(), 1u);
    EXPECT_EQ(mesh.polygons[0].holes[0], (std::vector<std::uint32_t>{2, 1}));
}

TEST(MeshPayload, LegacyLayoutWith16BitLists) {
    MeshPayload mesh = decodeMeshPayload(1, legacyMeshPayload());
    EXPECT_TRUE(mesh.legacy);
    EXPECT_EQ(mesh.vertexCount, 3);
    EXPECT_EQ(mesh.vertexBytes, 36);
    EXPECT_EQ(mesh.indexBytes, 8);
    EXPECT_EQ(mesh.mappingType, 2);
    EXPECT_FLOAT_EQ(mesh.vertices[2].z, 1.0f);
    ASSERT_EQ(mesh.polygons.size(), 1u);
    EXPECT_EQ(mesh.polygons[0].indices, (std::vector<std::uint32_t>{0, 1, 2}));
}

std::string meshError(std::int32_t format, const Bytes& data, std::size_t* offset = nullptr) {
    try {
        decodeMeshPayload(format, data);
    } catch (const PayloadError& e) {
        if (offset) *offset = e.payloadOffset();
        return e.what();
    }
    return "no error";
}

TEST(MeshPayload, FaultsAreFoundBeforeAnyAllocation) {
    Bytes data = currentMeshPayload();
    PayloadBuilder huge(data.size());
    huge.data = data;
    huge.i32(0, 0x7FFFFFFF);
    EXPECT_NE(meshError(2, huge.data).find("does not match its counts"), std::string::npos);

    PayloadBuilder overrun(data.size());
    overrun.data = data;
    overrun.i32(88, 1000);  // first polygon claims 1000 vertices
    std::size_t at = 0;
    EXPECT_EQ(meshError(2, overrun.data, &at), "mesh polygon vertex count 1000 does not fit in the index data");
    EXPECT_EQ(at, 92u);

    PayloadBuilder extra(data.size());
    extra.data = data;
    extra.i32(4, 1);  // one polygon, but the lists hold two
    EXPECT_EQ(meshError(2, extra.data, &at), "mesh index data goes on after the last of 1 polygons");
    EXPECT_EQ(at, 108u);

    PayloadBuilder more(data.size());
    more.data = data;
    more.i32(4, 3);
    EXPECT_EQ(meshError(2, more.data), "mesh index data ends after 2 of 3 polygons");

    EXPECT_EQ(meshError(2, Bytes(39, 0)), "mesh payload of 39 bytes is shorter than its 40-byte header");
    EXPECT_EQ(meshError(7, data), "mesh payload has dataFormat 7; expected 1 or 2");

    PayloadBuilder legacy(80);
    legacy.data = legacyMeshPayload();
    legacy.i32(4, 35);
    EXPECT_EQ(meshError(1, legacy.data), "mesh vertexBytes 35 is not 12 x vertexCount");
    legacy.data = legacyMeshPayload();
    legacy.i16(74, 3);
    EXPECT_EQ(meshError(1, legacy.data, &at), "mesh polygon index 3 outside the 3 vertices");
    EXPECT_EQ(at, 74u);
}

}  // namespace
