// Every number that becomes text goes through formatNumber with one of the program's fixed
// patterns. Locale-independent. A two-section pattern takes its sign from the unrounded value.
#pragma once

#include <string>
#include <string_view>

namespace tavrik {

// Supported patterns: "0.000000", "0.000", "0.0000", " 0.000;-0.000", " 0.0000;-0.0000",
// "0.000;-0.000", "0.000000;-0.000000", " 0.000000;-0.000000", "###.0", "###", "####",
// "#####", "############". Any other pattern is a programming error.
std::string formatNumber(double value, std::string_view pattern);

} // namespace tavrik
