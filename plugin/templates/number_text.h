// Conversions of number tokens with defined results for every input: the
// forms the C library's decimal conversions accept, without their undefined
// overflow and independent of the process locale (the host may have set one
// whose decimal mark is not a point).
#pragma once

#include <cstdint>

namespace pelmora {

// Optional sign, decimal digits, stopping at the first other character
// ("2.7" gives 2, "1e3" gives 1, no digits give 0). Values beyond the 32-bit
// range saturate to its nearest end.
std::int32_t decimalToInt32(const char* text);

// Optional sign, digits with at most one point, then an optional exponent
// introduced by e, E, d or D ("2D2" gives 200.0), stopping at the first
// character that does not fit. Too large a magnitude gives an infinity of the
// same sign, too small a one a zero of the same sign, as the C library does.
// The text is read in place: a d or D exponent letter is changed for the
// length of the call and restored.
double decimalToDouble(char* text);

// A double stored as a 32-bit float with IEEE rounding; magnitudes beyond the
// float range become infinities.
float toFloat32(double value);

}  // namespace pelmora
