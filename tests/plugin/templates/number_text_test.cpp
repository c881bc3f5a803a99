// Number conversions with a defined result for every input, and whole-file reads.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "plugin/templates/number_text.h"
#include "tests/support/template_test_support.h"

namespace pelmora {
namespace {

double toDouble(std::string text) { return decimalToDouble(text.data()); }

TEST(DecimalToInt32, StopsAtTheFirstOtherCharacterAndSaturates) {
    EXPECT_EQ(decimalToInt32("42"), 42);
    EXPECT_EQ(decimalToInt32("-42x"), -42);
    EXPECT_EQ(decimalToInt32("+0"), 0);
    EXPECT_EQ(decimalToInt32("2.7"), 2);
    EXPECT_EQ(decimalToInt32("1e3"), 1);
    EXPECT_EQ(decimalToInt32(".9"), 0);
    EXPECT_EQ(decimalToInt32("-"), 0);
    EXPECT_EQ(decimalToInt32("2147483647"), 2147483647);
    EXPECT_EQ(decimalToInt32("-2147483648"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(decimalToInt32("2147483648"), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(decimalToInt32("-2147483649"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(decimalToInt32(std::string(400, '9').c_str()), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(decimalToInt32(("-" + std::string(400, '9')).c_str()), std::numeric_limits<std::int32_t>::min());
}

TEST(DecimalToDouble, FormsOfTheCLibrary) {
    EXPECT_EQ(toDouble("2D2"), 200.0);
    EXPECT_EQ(toDouble("2d-1"), 0.2);
    EXPECT_EQ(toDouble("+7"), 7.0);
    EXPECT_EQ(toDouble("-.5"), -0.5);
    EXPECT_EQ(toDouble("5."), 5.0);
    EXPECT_EQ(toDouble("1e"), 1.0);
    EXPECT_EQ(toDouble("1e+"), 1.0);
    EXPECT_EQ(toDouble("3E-"), 3.0);
    EXPECT_EQ(toDouble("-"), 0.0);
    EXPECT_EQ(toDouble("."), 0.0);
    EXPECT_EQ(toDouble("12.5.3"), 12.5);
    std::string text = "1D3";
    decimalToDouble(text.data());
    EXPECT_EQ(text, "1D3");  // the letter is put back
}

TEST(DecimalToDouble, OutOfRangeGivesInfinityOrZero) {
    EXPECT_EQ(toDouble("1e309"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(toDouble("-1d99999999999999999999"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(toDouble(std::string(400, '9')), std::numeric_limits<double>::infinity());
    EXPECT_EQ(toDouble("1e-400"), 0.0);
    const double negativeZero = toDouble("-1e-400");
    EXPECT_EQ(negativeZero, 0.0);
    EXPECT_TRUE(std::signbit(negativeZero));
    EXPECT_EQ(toDouble("0." + std::string(400, '0') + "1"), 0.0);
    EXPECT_EQ(toDouble("0.000001e-99999999999"), 0.0);
    EXPECT_EQ(toDouble("0e99999"), 0.0);
    EXPECT_GT(toDouble("1e-310"), 0.0);  // a subnormal is still a value
}

TEST(ToFloat32, RoundsAndOverflowsToInfinity) {
    EXPECT_EQ(toFloat32(0.1), 0.1f);
    EXPECT_EQ(toFloat32(1e300), std::numeric_limits<float>::infinity());
    EXPECT_EQ(toFloat32(-1e39), -std::numeric_limits<float>::infinity());
    EXPECT_EQ(toFloat32(std::numeric_limits<float>::max()), std::numeric_limits<float>::max());
    EXPECT_EQ(toFloat32(0x1.fffffefp127), std::numeric_limits<float>::max());  // below the halfway point
}

TEST(TextBufferLoad, WholeFileUnchangedWithATerminator) {
    test::TempFolder folder;
    const std::string bytes("a\r\nb\0c\xff", 7);
    folder.write("t.txt", bytes);
    TextBuffer buffer;
    EXPECT_TRUE(buffer.load((folder.path() / "t.txt").string()));
    ASSERT_EQ(buffer.length(), 7);
    EXPECT_EQ(std::string(buffer.text(), 7), bytes);
    EXPECT_EQ(buffer.text()[7], '\0');
}

TEST(TextBufferLoad, MissingFileOrFolderHoldsNoText) {
    test::TempFolder folder;
    TextBuffer buffer;
    EXPECT_FALSE(buffer.load((folder.path() / "missing.txt").string()));
    EXPECT_EQ(buffer.length(), 0);
    EXPECT_EQ(buffer.text()[0], '\0');
    EXPECT_FALSE(buffer.load(folder.path().string()));  // a folder is not a file
    EXPECT_EQ(buffer.length(), 0);
}

}  // namespace
}  // namespace pelmora
