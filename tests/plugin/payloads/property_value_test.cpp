// Reading host property values by their tag, against a tiny fake host.
#include <gtest/gtest.h>

#include <cstring>

#include "plugin/host/current_callback.h"
#include "plugin/payloads/property_value.h"
#include "tests/support/fake_lookup.h"

namespace pelmora {
namespace {

// What the fake service 361 answers next.
HostPropertyValue g_answer;
HostBool g_given = 1;

HostBool fakeProperty(HostHandle, std::int32_t, HostPropertyValue* out) {
    *out = g_answer;
    return g_given;
}

class PropertyValueTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake.set(host::kGetObjectProperty, &fakeProperty);
        g_answer = HostPropertyValue{};
        g_given = 1;
    }
    void answer(std::int32_t tag, const void* bytes, std::size_t size) {
        g_answer.tag = tag;
        std::memcpy(g_answer.payload, bytes, size);
    }

    testing::FakeLookup fake;
    host::CallbackScope scope{fake.callback()};
};

TEST_F(PropertyValueTest, EachTagReadsAsItsOwnTypeOnly) {
    const double d = 2.5;
    answer(kPropertyDouble, &d, sizeof d);
    PropertyValue value;
    ASSERT_TRUE(value.fetch(nullptr, 51));
    double asDouble = 0.0;
    EXPECT_TRUE(value.read(asDouble));
    EXPECT_EQ(asDouble, 2.5);

    bool asBool = true;
    std::int16_t asInt = 7;
    HostPoint asPoint{1, 2, 3};
    EXPECT_FALSE(value.read(asBool));
    EXPECT_FALSE(value.read(asInt));
    EXPECT_FALSE(value.read(asPoint));
    EXPECT_TRUE(asBool);  // destinations are left as they were
    EXPECT_EQ(asInt, 7);
    EXPECT_EQ(asPoint.x, 1.0);
    EXPECT_EQ(asPoint.z, 3.0);
}

TEST_F(PropertyValueTest, BoolIsOneByteInt16TwoAndPointThreeDoubles) {
    const std::uint8_t yes = 1;
    answer(kPropertyBool, &yes, 1);
    EXPECT_TRUE(boolProperty(nullptr, 50, false));
    const std::uint8_t no = 0;
    answer(kPropertyBool, &no, 1);
    EXPECT_FALSE(boolProperty(nullptr, 50, true));

    const std::int16_t kind = -3;
    answer(kPropertyInt16, &kind, sizeof kind);
    EXPECT_EQ(int16Property(nullptr, 55, 9), -3);

    const double xyz[3] = {1.5, -2.0, 1e6};
    answer(kPropertyPoint, xyz, sizeof xyz);
    const HostPoint p = pointProperty(nullptr, 54);
    EXPECT_EQ(p.x, 1.5);
    EXPECT_EQ(p.y, -2.0);
    EXPECT_EQ(p.z, 1e6);
}

TEST_F(PropertyValueTest, AnotherTagGivesTheFallbackAndAPointOfZeros) {
    const std::int16_t kind = 1;
    answer(kPropertyInt16, &kind, sizeof kind);
    EXPECT_EQ(doubleProperty(nullptr, 51, 0.25), 0.25);
    EXPECT_TRUE(boolProperty(nullptr, 50, true));
    const HostPoint p = pointProperty(nullptr, 54);
    EXPECT_EQ(p.x, 0.0);
    EXPECT_EQ(p.y, 0.0);
    EXPECT_EQ(p.z, 0.0);
}

TEST_F(PropertyValueTest, AnAnswerOfFalseIsNotReadEvenWhenTheHostFilledATag) {
    const double d = 4.0;
    answer(kPropertyDouble, &d, sizeof d);
    g_given = 0;
    PropertyValue value;
    EXPECT_FALSE(value.fetch(nullptr, 51));
    double out = -1.0;
    EXPECT_FALSE(value.read(out));
    EXPECT_EQ(out, -1.0);
    EXPECT_EQ(doubleProperty(nullptr, 51, 0.5), 0.5);
}

TEST_F(PropertyValueTest, AHostWithoutTheServiceGivesNothing) {
    fake.remove(host::kGetObjectProperty);
    PropertyValue value;
    EXPECT_FALSE(value.fetch(nullptr, 54));
    EXPECT_EQ(int16Property(nullptr, 55, 4), 4);
    const HostPoint p = pointProperty(nullptr, 54);
    EXPECT_EQ(p.x + p.y + p.z, 0.0);
}

}  // namespace
}  // namespace pelmora
