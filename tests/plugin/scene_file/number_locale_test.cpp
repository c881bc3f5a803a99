// The ASCII encoding writes its numbers the same whatever locale the host
// process has set: a CAD host may switch to a comma-decimal locale, and the
// format's readers take only a point.
#include <clocale>
#include <cstdio>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "plugin/scene_file/output_stream.h"
#include "tests/plugin/scene_file/scene_fakes.h"

namespace pelmora {
namespace {

// Writes a fixed mix of values, and many random bit patterns, in ASCII.
std::string writeAsciiValues(const std::string& path) {
    OutputStream stream;
    EXPECT_EQ(stream.open(path.c_str(), false, false), 1);
    stream.writeFloat(0.5f, true);
    stream.writeFloat(-1234.5678f, true);
    stream.writeVector(Vec3f{1.0f, -2.25f, 3.0e-6f}, true);
    stream.writeQuad(Quad4f{0.125f, 1.0e30f, -0.0f, 7.0f}, true);
    stream.writeInt(-1234567, true);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> spread(-1.0e6f, 1.0e6f);
    for (int i = 0; i < 2000; ++i) stream.writeFloat(spread(random), true);
    EXPECT_EQ(stream.close(), 1);
    return scene_test::fileText(path);
}

// Switches to a comma-decimal locale for the scope and back to "C" after.
class CommaDecimalLocale {
public:
    CommaDecimalLocale() {
        // POSIX names first, then the Windows ones.
        for (const char* name :
             {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "German_Germany.1252", "deu"})
            if (std::setlocale(LC_ALL, name) != nullptr) {
                active_ = true;
                break;
            }
    }
    ~CommaDecimalLocale() { std::setlocale(LC_ALL, "C"); }
    CommaDecimalLocale(const CommaDecimalLocale&) = delete;
    CommaDecimalLocale& operator=(const CommaDecimalLocale&) = delete;
    bool active() const { return active_; }

private:
    bool active_ = false;
};

TEST(NumberLocale, AsciiBytesAreTheSameUnderACommaDecimalLocale) {
    const auto folder = scene_test::freshFolder("number_locale");
    const std::string inC = writeAsciiValues((folder / "c.qmx").string());
    ASSERT_EQ(inC.substr(0, 8), "0.50000\n");

    CommaDecimalLocale comma;
    char printed[16];
    std::snprintf(printed, sizeof printed, "%.1f", 0.5);
#if defined(_WIN32)
    // Under Wine the C library may have no such locale, or print without it.
    if (!comma.active() || std::string(printed) != "0,5") GTEST_SKIP() << "no comma-decimal printing here";
#endif
    ASSERT_TRUE(comma.active()) << "no comma-decimal locale installed (scripts/install-deps.sh generates de_DE.UTF-8)";
    ASSERT_STREQ(printed, "0,5") << "the locale does not use a decimal comma";

    const std::string inComma = writeAsciiValues((folder / "comma.qmx").string());
    EXPECT_EQ(inComma, inC);
    EXPECT_EQ(inComma.find(','), std::string::npos);
}

}  // namespace
}  // namespace pelmora
