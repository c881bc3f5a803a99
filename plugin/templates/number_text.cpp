#include "plugin/templates/number_text.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

namespace pelmora {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The longest prefix of a number's text that the C library's floating
// conversion would take, found without copying the text.
struct NumberForm {
    const char* begin = nullptr;     // first character from_chars reads (a leading '+' left out)
    const char* end = nullptr;       // one past the prefix
    char* exponentLetter = nullptr;  // a d or D to be read as e, when the exponent is valid
    bool negative = false;
    bool hasDigits = false;
    long long decimalExponent = 0;  // of the first significant digit; for out-of-range results only
};

NumberForm numberForm(char* p) {
    NumberForm form;
    if (*p == '+' || *p == '-') {
        form.negative = *p == '-';
        if (!form.negative) ++p;
    }
    form.begin = p;
    if (*p == '-') ++p;
    long long intDigits = 0;     // significant digits before the point
    long long leadingZeros = 0;  // zeros after the point before the first significant digit
    bool significant = false;
    while (isDigit(*p)) {
        form.hasDigits = true;
        if (*p != '0') significant = true;
        if (significant) ++intDigits;
        ++p;
    }
    if (*p == '.') {
        ++p;
        while (isDigit(*p)) {
            form.hasDigits = true;
            if (!significant) {
                if (*p == '0') ++leadingZeros;
                else significant = true;
            }
            ++p;
        }
    }
    form.end = p;
    if (!form.hasDigits) return form;
    long long exponent = 0;
    if (*p == 'e' || *p == 'E' || *p == 'd' || *p == 'D') {
        char* q = p + 1;
        bool negativeExponent = false;
        if (*q == '+' || *q == '-') negativeExponent = *q++ == '-';
        if (isDigit(*q)) {
            if (*p == 'd' || *p == 'D') form.exponentLetter = p;
            while (isDigit(*q)) {
                // Saturate far beyond any double's range; the exact value no longer matters there.
                if (exponent < 100000000) exponent = exponent * 10 + (*q - '0');
                ++q;
            }
            if (negativeExponent) exponent = -exponent;
            form.end = q;
        }
    }
    form.decimalExponent = (intDigits > 0 ? intDigits : -leadingZeros) + exponent;
    return form;
}

}  // namespace

std::int32_t decimalToInt32(const char* text) {
    const char* p = text;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    // Accumulate towards the negative end, which holds one more value.
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    std::int64_t value = 0;
    while (isDigit(*p)) {
        value = value * 10 + (*p++ - '0');
        if (value > kMax + 1) value = kMax + 1;  // saturated; further digits change nothing
    }
    if (negative) return static_cast<std::int32_t>(-value < kMin ? kMin : -value);
    return static_cast<std::int32_t>(value > kMax ? kMax : value);
}

double decimalToDouble(char* text) {
    const NumberForm form = numberForm(text);
    if (!form.hasDigits) return 0.0;
    double value = 0.0;
    // from_chars knows only e and E: the letter is swapped for the call and put back.
    char letter = 0;
    if (form.exponentLetter) {
        letter = *form.exponentLetter;
        *form.exponentLetter = 'e';
    }
    const auto result = std::from_chars(form.begin, form.end, value, std::chars_format::general);
    if (form.exponentLetter) *form.exponentLetter = letter;
    if (result.ec == std::errc::result_out_of_range) {
        value = form.decimalExponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
        return form.negative ? -value : value;
    }
    if (result.ec != std::errc()) return 0.0;
    return value;
}

float toFloat32(double value) {
    // The smallest magnitude that IEEE round-to-nearest takes to infinity:
    // halfway between the largest float and the next power of two.
    constexpr double kOverflow = 0x1.ffffffp127;
    if (std::fabs(value) >= kOverflow)
        return value < 0 ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

}  // namespace pelmora
