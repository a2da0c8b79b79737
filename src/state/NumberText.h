// Numbers as text and text as numbers, with the same digits on every platform and compiler:
// every floating-point number the program writes or reads goes through these.
#pragma once

#include <charconv>
#include <string>

namespace tavrik {

// The shortest text that reads back to the same value, in fixed notation or in scientific
// notation ("1e+23", "1.5e-07"), whichever is shorter, fixed on a tie. A whole number written
// in fixed notation carries its exact digits: 2^60 is "1152921504606846976". Zero keeps its sign
// ("-0"); infinity and NaN are "inf", "-inf", "nan", "-nan".
std::string shortestText(double value);
// The same for a 32-bit float, whose shortest digits are fewer: 0.55f is "0.55".
std::string shortestText(float value);

// The exact binary value correctly rounded to `decimals` digits after the point; an exact tie
// goes to the even digit (0.125 -> "0.12", 2.5 -> "2").
std::string fixedText(double value, int decimals);
// d.ddde+XX with `decimals` digits after the point, rounded as fixedText rounds.
std::string scientificText(double value, int decimals);

// Reads a decimal number at the start of [first, last): an optional minus sign, digits with an
// optional point, an optional exponent; also "inf", "infinity" and "nan" in any case. Returns
// the end of what was read and std::errc::invalid_argument when there is no number, or
// std::errc::result_out_of_range when a number beyond the type's range would become infinity or
// a nonzero number would become zero; in both cases value is left unchanged. Subnormal results
// are in range.
std::from_chars_result readNumber(const char* first, const char* last, double& value);
std::from_chars_result readNumber(const char* first, const char* last, float& value);

} // namespace tavrik
