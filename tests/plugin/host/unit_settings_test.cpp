// Unit detection from the host's unit record and conversion to metres.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "plugin/host/current_callback.h"
#include "plugin/host/unit_settings.h"
#include "tests/support/fake_lookup.h"

namespace pelmora {
namespace {

double g_unitsPerInch = 25.4;

void unitRecord(std::uint8_t* out) {
    std::memset(out, 0xAB, 32);  // the plug-in must read only the double at byte 10
    std::memcpy(out + 10, &g_unitsPerInch, sizeof g_unitsPerInch);
}
// Internal millimetres to document units, as a host does.
void toDocument(double* value) { *value = *value / 25.4 * g_unitsPerInch; }

struct Case {
    double unitsPerInch;
    std::int16_t code;
    double metresPerUnit;
};

TEST(UnitSettings, DetectsTheUnitWithStrictBounds) {
    testing::FakeLookup host;
    host.set(host::kGetUnitRecord, &unitRecord);
    host::CallbackScope scope(host.callback());
    const Case cases[] = {
        {25.4, kUnitMillimetre, 0.001},    {2.54, kUnitCentimetre, 0.01},     {0.0254, kUnitMetre, 1.0},
        {1.0, kUnitInch, 0.0254},          {2.55, kUnitOther, 0.0254 / 2.55}, {2.53, kUnitOther, 0.0254 / 2.53},
        {25.5, kUnitOther, 0.0254 / 25.5}, {12.0, kUnitOther, 0.0254 / 12.0}, {1.01, kUnitOther, 0.0254 / 1.01},
    };
    for (const Case& c : cases) {
        g_unitsPerInch = c.unitsPerInch;
        UnitSettings units;
        units.detect();
        EXPECT_EQ(units.unitCode, c.code) << c.unitsPerInch;
        EXPECT_DOUBLE_EQ(units.metresPerUnit, c.metresPerUnit) << c.unitsPerInch;
        EXPECT_EQ(&currentUnits(), &units);
        setCurrentUnits(nullptr);
    }
}

TEST(UnitSettings, ConvertsHostLengthsThroughTheDocumentUnit) {
    testing::FakeLookup host;
    host.set(host::kGetUnitRecord, &unitRecord);
    host.set(host::kToDocumentLength, &toDocument);
    host::CallbackScope scope(host.callback());
    for (double upi : {25.4, 2.54, 0.0254, 1.0}) {
        g_unitsPerInch = upi;
        UnitSettings units;
        units.detect();
        EXPECT_NEAR(units.toMetres(2500.0), 2.5, 1e-12) << upi;  // 2500 mm is 2.5 m in every unit
        EXPECT_NEAR(toMetres(-1000.0), -1.0, 1e-12);
        setCurrentUnits(nullptr);
    }
}

TEST(UnitSettings, UnusableRecordKeepsMillimetresInsteadOfInfinity) {
    testing::FakeLookup host;  // no unit record service: the record stays zeroed
    host::CallbackScope scope(host.callback());
    UnitSettings units;
    units.detect();
    EXPECT_EQ(units.unitCode, kUnitMillimetre);
    EXPECT_TRUE(std::isfinite(units.toMetres(1000.0)));
    EXPECT_DOUBLE_EQ(units.toMetres(1000.0), 1.0);
    // The smallest positive doubles are finite, but 0.0254 divided by them is not.
    for (double bad : {0.0, -25.4, std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN(),
                       std::numeric_limits<double>::denorm_min(), 1e-310}) {
        std::int16_t code = 0;
        double perUnit = 0.0;
        UnitSettings::classify(bad, code, perUnit);
        EXPECT_EQ(code, kUnitMillimetre);
        EXPECT_DOUBLE_EQ(perUnit, 0.001);
    }
    setCurrentUnits(nullptr);
}

}  // namespace
}  // namespace pelmora
