// The heritability as the Options dialog edits it: the number read from the text the user
// typed, the text shown for a stored value, and the range that OK accepts.
#pragma once

#include <string>
#include <string_view>

namespace tavrik {

// Reads the number at the start of the text: an optional sign, digits with at most one decimal
// point, an optional exponent (E or D, optional sign, digits). Blanks are skipped anywhere;
// reading stops at the first other character; no number at all gives 0. The decimal value is
// rounded to double first and then to the 32-bit float that is stored.
float heritabilityFromText(std::string_view text);

// Shortest plain decimal text of the value rounded to seven significant digits: 1 -> "1",
// 0.5 -> "0.5", 0.001 -> "0.001". Reading the text back gives the value again (to 7 digits).
std::string heritabilityText(float value);

// OK accepts 0 < h <= 1, where h > 0 means a normal 32-bit float: below 1.17549435E-38 a
// float holds too few digits (1E-45 is stored as the smallest float above 0, with one bit of
// precision), and the analysis would divide by a covariance that has lost its digits.
bool heritabilityAccepted(float value);

} // namespace tavrik
