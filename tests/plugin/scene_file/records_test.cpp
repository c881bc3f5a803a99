#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "plugin/scene_file/bounded_copy.h"
#include "plugin/scene_file/records.h"

namespace pelmora {
namespace {

TEST(BoundedCopy, KeepsAtMost254Characters) {
    char out[kNameArray];
    for (std::size_t length : {254u, 255u, 300u}) {
        const std::string text(length, 'x');
        std::memset(out, 'Q', sizeof out);
        boundedCopy(out, text.c_str(), kNameLimit);
        EXPECT_EQ(std::strlen(out), 254u) << length;
        EXPECT_EQ(std::string(out), std::string(254, 'x'));
        // The first 255 bytes are cleared; the last one is never touched.
        EXPECT_EQ(out[254], '\0');
        EXPECT_EQ(out[255], 'Q');
    }
}

TEST(BoundedCopy, ShortAndNullTexts) {
    char out[kNameArray];
    std::memset(out, 'Q', sizeof out);
    boundedCopy(out, "abc", kNameLimit);
    EXPECT_STREQ(out, "abc");
    for (std::size_t i = 3; i < kNameLimit; ++i) ASSERT_EQ(out[i], '\0') << i;

    boundedCopy(out, nullptr, kNameLimit);
    EXPECT_STREQ(out, "");
}

TEST(NodeRecord, ResetGivesTheDefaultsOfEachLayout) {
    NodeRecord r;
    r.kind = 99;
    r.id = 7;
    r.attrA = r.attrB = 3;
    std::strcpy(r.name, "old");
    std::strcpy(r.subName, "old");
    r.type = 8;
    r.vecA = {1, 2, 3};
    r.intA = r.intB = r.intC = 9;
    r.targetId1 = r.targetId2 = 5;
    r.vecB = r.vecC = r.vecD = {4, 5, 6};
    r.dataFormat = 2;

    r.reset(false);
    EXPECT_EQ(r.kind, 5);
    EXPECT_EQ(r.id, 0u);
    EXPECT_EQ(r.attrA, 0u);
    EXPECT_EQ(r.attrB, 0u);
    EXPECT_STREQ(r.name, "");
    EXPECT_STREQ(r.subName, "");
    EXPECT_EQ(r.type, 0);
    EXPECT_EQ(r.vecA.x + r.vecA.y + r.vecA.z, 0.0f);
    EXPECT_EQ(r.intA, 1);
    EXPECT_EQ(r.targetId1, -1);
    EXPECT_EQ(r.targetId2, -1);
    EXPECT_EQ(r.intB, 0);
    EXPECT_EQ(r.vecD.x + r.vecD.y + r.vecD.z, 0.0f);
    EXPECT_EQ(r.intC, -1);
    EXPECT_EQ(r.dataFormat, 1);
    EXPECT_EQ(r.dataSize, 0);
    EXPECT_EQ(r.data, nullptr);

    r.reset(true);
    EXPECT_EQ(r.kind, 4);
}

TEST(NodeRecord, FillSetsIdTypeAndABoundedName) {
    NodeRecord r;
    const std::string longName(300, 'n');
    EXPECT_EQ(r.fill(false, 1001, 2, longName.c_str()), 1);
    EXPECT_EQ(r.id, 1001u);
    EXPECT_EQ(r.type, 2);
    EXPECT_EQ(std::string(r.name), std::string(254, 'n'));

    EXPECT_EQ(r.fill(true, 5, 16, nullptr), 1);
    EXPECT_EQ(r.kind, 4);
    EXPECT_STREQ(r.name, "");
    EXPECT_EQ(r.fill(false, 5, 16, ""), 1);
    EXPECT_STREQ(r.name, "");
}

TEST(NodeRecord, ReleaseFreesOnlyAPayloadWithASize) {
    NodeRecord r;
    std::uint8_t notOwned[4] = {};
    r.data = notOwned;
    r.dataSize = 0;
    r.release();
    EXPECT_EQ(r.data, notOwned);  // left alone
    r.data = nullptr;

    r.attach(new std::uint8_t[8](), 8, 2);
    EXPECT_EQ(r.dataSize, 8);
    EXPECT_EQ(r.dataFormat, 2);
    r.release();  // a leak or a double free shows under the sanitizers
    EXPECT_EQ(r.dataSize, 0);
    EXPECT_EQ(r.data, nullptr);
    r.release();
}

TEST(NodeRecord, AttachingAnEmptyPayloadFreesIt) {
    NodeRecord r;
    r.attach(new std::uint8_t[1], 0, 1);
    EXPECT_EQ(r.data, nullptr);
    EXPECT_EQ(r.dataSize, 0);
    MotionRecord m;
    m.attach(new std::uint8_t[1], 0, 3);
    EXPECT_EQ(m.data, nullptr);
    EXPECT_EQ(m.dataFormat, 3);
}

TEST(NodeRecord, AttachReplacesAndDestructorReleases) {
    NodeRecord r;
    r.attach(new std::uint8_t[4](), 4, 1);
    r.attach(new std::uint8_t[6](), 6, 2);  // the first payload is freed
    EXPECT_EQ(r.dataSize, 6);
    // The destructor frees the second one.
}

TEST(MotionRecord, ResetGivesTheDefaultsOfEachLayout) {
    MotionRecord m;
    m.kind = 9;
    std::strcpy(m.name, "x");
    std::strcpy(m.subName, "x");
    std::strcpy(m.extraName, "x");
    m.key = m.intA = m.motionFlags = m.intB = m.intC = 3;
    m.weight = 2.0f;
    m.vecA = {1, 1, 1};
    m.floatB = 1.0f;
    m.dataFormat = 5;

    m.reset(false);
    EXPECT_EQ(m.kind, 2);
    EXPECT_STREQ(m.name, "");
    EXPECT_STREQ(m.subName, "");
    EXPECT_STREQ(m.extraName, "");
    EXPECT_EQ(m.key, 0);
    EXPECT_EQ(m.intA, 0);
    EXPECT_EQ(m.motionFlags, 0);
    EXPECT_EQ(m.intB, 0);
    EXPECT_EQ(m.weight, 0.5f);
    EXPECT_EQ(m.vecA.x + m.vecA.y + m.vecA.z, 0.0f);
    EXPECT_EQ(m.intC, 0);
    EXPECT_EQ(m.floatB, 0.0f);
    EXPECT_EQ(m.dataFormat, 1);
    EXPECT_EQ(m.dataSize, 0);
    EXPECT_EQ(m.data, nullptr);

    m.reset(true);
    EXPECT_EQ(m.kind, 1);
}

TEST(MotionRecord, ReleaseFreesOnlyAPayloadWithASize) {
    MotionRecord m;
    std::uint8_t notOwned[2] = {};
    m.data = notOwned;
    m.release();
    EXPECT_EQ(m.data, notOwned);
    m.data = nullptr;
    m.attach(new std::uint8_t[3](), 3, 4);
    m.release();
    EXPECT_EQ(m.data, nullptr);
    EXPECT_EQ(m.dataSize, 0);
}

}  // namespace
}  // namespace pelmora
