// The light and camera parameter payloads, checked byte by byte at their offsets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugin/payloads/motion_builders.h"
#include "tests/plugin/payloads/payload_bytes.h"

namespace pelmora {
namespace {

using test::F;
using test::f32At;
using test::I;
using test::i32At;
using test::textAt;
using test::u32At;

std::vector<std::uint8_t> lightBytes(bool legacy, std::int32_t type, float intensity, std::int32_t mode, float e) {
    MotionRecord r;
    EXPECT_EQ(motionLightParameter(r, legacy, 0, type, intensity, mode, e), 1);
    EXPECT_STREQ(r.name, "motionLightParameter");
    EXPECT_EQ(r.dataFormat, 1);
    EXPECT_EQ(r.dataSize, 72);
    return test::snapshot(r);
}

TEST(LightParameter, WholePayloadWithGivenValues) {
    const auto expected = test::expectedBytes(72, {I(0, 3), I(4, 1), F(12, 0.6f), test::Field{16, 0x3F490E56u},
                                                   F(24, 1.0f), F(36, 1.0f), I(44, 2), F(48, 0.75f), F(68, 0.1f)});
    EXPECT_EQ(lightBytes(false, 3, 0.6f, 2, 0.75f), expected);
}

TEST(LightParameter, TypeOutsideOneToThreeBecomesTwo) {
    EXPECT_EQ(i32At(lightBytes(false, 7, 1.0f, 1, 0.5f).data(), 0), 2);
    EXPECT_EQ(i32At(lightBytes(false, 0, 1.0f, 1, 0.5f).data(), 0), 2);
    EXPECT_EQ(i32At(lightBytes(true, -1, 1.0f, 1, 0.5f).data(), 0), 2);
    EXPECT_EQ(i32At(lightBytes(false, 1, 1.0f, 1, 0.5f).data(), 0), 1);
}

TEST(LightParameter, LegacyIntensityIsOnlyOneOrOnePointThree) {
    EXPECT_EQ(f32At(lightBytes(true, 1, 0.9f, 1, 0.5f).data(), 12), 1.0f);
    EXPECT_EQ(f32At(lightBytes(true, 1, 1.0f, 1, 0.5f).data(), 12), 1.0f);
    EXPECT_EQ(f32At(lightBytes(true, 1, 1.2f, 1, 0.5f).data(), 12), 1.3f);
    EXPECT_EQ(f32At(lightBytes(false, 1, 0.9f, 1, 0.5f).data(), 12), 0.9f);
    EXPECT_EQ(f32At(lightBytes(false, 1, 1.2f, 1, 0.5f).data(), 12), 1.2f);
    EXPECT_EQ(i32At(lightBytes(true, 1, 1.2f, 1, 0.5f).data(), 8), 0);
}

void buildCamera(MotionRecord& r, bool legacy, std::uint8_t a, std::uint8_t b, std::uint8_t c, const char* picture) {
    EXPECT_EQ(motionCameraParameter(r, legacy, 0, a, 0.6f, b, c, 2, picture), 1);
}
std::vector<std::uint8_t> cameraBytes(bool legacy, std::uint8_t a, std::uint8_t b, std::uint8_t c,
                                      const char* picture) {
    MotionRecord r;
    buildCamera(r, legacy, a, b, c, picture);
    return test::snapshot(r);
}

TEST(CameraParameter, CurrentLayoutWholePayload) {
    MotionRecord r;
    buildCamera(r, false, 0, 1, 1, nullptr);
    EXPECT_STREQ(r.name, "motionCameraParameter");
    EXPECT_EQ(r.dataFormat, 5);
    ASSERT_EQ(r.dataSize, 860);
    // Settings fields at 36 + their offset in the settings block.
    auto expected = test::expectedBytes(
        860, {F(0, 0.6f),          F(12, 0.05f),       F(16, 30000.0f),    I(36 + 640, 0xB1101E), I(36 + 644, 64),
              I(36 + 660, 640),    I(36 + 664, 480),   F(36 + 668, 0.05f), I(36 + 672, 2),        I(36 + 676, 1),
              I(36 + 692, 100000), F(36 + 696, 0.02f), I(36 + 700, 4),     F(36 + 704, 80.0f),    I(36 + 708, 8),
              F(36 + 712, 0.08f),  I(36 + 716, 3),     I(36 + 720, 1024),  I(36 + 724, 2),        F(36 + 728, 0.2f),
              I(36 + 732, 2),      I(36 + 736, 1024),  I(36 + 740, 2),     F(36 + 744, 0.02f),    I(36 + 748, 5),
              I(36 + 752, 128),    I(36 + 760, 12),    F(36 + 768, 0.9f),  F(36 + 772, 1.0f),     F(36 + 780, 0.5f),
              F(36 + 788, 0.5f),   F(36 + 792, 0.2f)});
    test::putTextInto(expected, 36, "Image");
    test::putTextInto(expected, 36 + 256, "PNGPictWriter");
    test::putTextInto(expected, 36 + 384, "RenderModule6");
    EXPECT_EQ(test::snapshot(r), expected);
}

TEST(CameraParameter, OptionBitsFollowTheSwitches) {
    EXPECT_EQ(u32At(cameraBytes(false, 0, 1, 1, nullptr).data(), 676), 0xB1101Eu);
    EXPECT_EQ(u32At(cameraBytes(false, 1, 0, 0, nullptr).data(), 676), 0xB11054u);
    EXPECT_EQ(u32At(cameraBytes(false, 0, 0, 0, nullptr).data(), 676), 0xB11014u);
    EXPECT_EQ(u32At(cameraBytes(false, 5, 9, 200, nullptr).data(), 676), 0xB1105Eu);
}

TEST(CameraParameter, LegacyLayoutWholePayload) {
    MotionRecord r;
    buildCamera(r, true, 0, 1, 1, "shot.bmp");
    EXPECT_EQ(r.dataFormat, 2);
    ASSERT_EQ(r.dataSize, 952);
    auto expected = test::expectedBytes(
        952, {F(0, 0.6f),       F(8, 0.05f),       F(12, 30000.0f),   F(16, 0.2f),    F(20, 0.2f),
              F(24, 0.2f),      F(28, 0.2f),       I(44 + 768, 1),    I(44 + 776, 0), I(44 + 780, 640),
              I(44 + 784, 480), F(44 + 792, 1.0f), F(44 + 800, 1.0f), I(44 + 804, 1), F(44 + 808, 0.01f),
              I(44 + 812, 1),   I(44 + 816, 1),    I(44 + 820, 1),    I(44 + 828, 2), I(44 + 844, 1),
              I(44 + 856, 1),   I(44 + 868, 1),    I(44 + 872, 1),    I(44 + 892, 1), I(44 + 896, 64)});
    test::putTextInto(expected, 44, "shot.bmp");
    test::putTextInto(expected, 44 + 256, "BMPPictWriter");
    test::putTextInto(expected, 44 + 512, "RenderModule6");
    EXPECT_EQ(test::snapshot(r), expected);

    const auto d = cameraBytes(true, 1, 0, 0, nullptr);
    EXPECT_EQ(i32At(d.data(), 44 + 776), 1);
    EXPECT_EQ(i32At(d.data(), 44 + 812), 0);
    EXPECT_EQ(i32At(d.data(), 44 + 820), 0);
}

std::string writerFor(const char* picture, bool legacy = false) {
    return textAt(cameraBytes(legacy, 0, 1, 1, picture).data(), legacy ? 300 : 292);
}

TEST(CameraParameter, PictureWriterFollowsTheLastExtension) {
    EXPECT_EQ(writerFor("render.JPEG"), "JPGPictWriter");
    EXPECT_EQ(writerFor("render.jpg"), "JPGPictWriter");
    EXPECT_EQ(writerFor("a.b.tga"), "TGAPictWriter");
    EXPECT_EQ(writerFor("x.bmp"), "BMPPictWriter");
    EXPECT_EQ(writerFor("x.WMV"), "WMVPictWriter");
    EXPECT_EQ(writerFor("x.TiFf"), "TIFPictWriter");
    EXPECT_EQ(writerFor("x.tif", true), "TIFPictWriter");
    EXPECT_EQ(writerFor("x.pcx"), "PCXPictWriter");
    EXPECT_EQ(writerFor("x.png"), "PNGPictWriter");
    EXPECT_EQ(writerFor("tga.gif"), "PNGPictWriter");
    EXPECT_EQ(writerFor("x.jpg.gif"), "PNGPictWriter");
    EXPECT_EQ(writerFor("noextension"), "PNGPictWriter");
    EXPECT_EQ(writerFor("trailing."), "PNGPictWriter");
    EXPECT_EQ(writerFor(nullptr), "PNGPictWriter");
}

TEST(CameraParameter, PictureNameKeepsAtMost254Characters) {
    const std::string longName(300, 'p');
    for (bool legacy : {false, true}) {
        const auto bytes = cameraBytes(legacy, 0, 1, 1, longName.c_str());
        const int at = legacy ? 44 : 36;
        EXPECT_EQ(textAt(bytes.data(), at), std::string(254, 'p'));
        EXPECT_EQ(bytes[static_cast<std::size_t>(at + 254)], 0);
        EXPECT_EQ(textAt(bytes.data(), at + 256), "PNGPictWriter");
    }
}

}  // namespace
}  // namespace pelmora
