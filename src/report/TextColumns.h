// The cells of the fixed-width tables of the result files: numbers with six decimals, text
// padded to its column, and at least one blank between columns however long a cell is.
#pragma once

#include <cstddef>
#include <string>

namespace tavrik {

// Six decimals; "NA" when the value is not finite.
std::string fixedText(double value);

// Text left-aligned in a column of this width; a longer text is followed by one blank.
std::string padRight(std::string text, std::size_t width);

// Text right-aligned in a column of this width; a longer text follows one blank.
std::string padLeft(const std::string& text, std::size_t width);

} // namespace tavrik
