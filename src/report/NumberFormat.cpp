#include "report/NumberFormat.h"

#include "state/NumberText.h"

#include <array>
#include <bit>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <limits>

namespace tavrik {

namespace {

struct PatternRule
{
    std::string_view pattern;
    int decimals;
    bool blankBeforeNonNegative; // two-section patterns that keep one width for both signs
    bool integerDigitsOptional;  // '#' before the point: no leading zero, ".5"
    bool emptyForZero; // whole-number '#' patterns print nothing for a value rounding to 0
};

constexpr std::array<PatternRule, 13> patternRules{{
    {"0.000000", 6, false, false, false},
    {"0.000", 3, false, false, false},
    {"0.0000", 4, false, false, false},
    {" 0.000;-0.000", 3, true, false, false},
    {" 0.0000;-0.0000", 4, true, false, false},
    {"0.000;-0.000", 3, false, false, false},
    {"0.000000;-0.000000", 6, false, false, false},
    {" 0.000000;-0.000000", 6, true, false, false},
    {"###.0", 1, false, true, false},
    {"###", 0, false, true, true},
    {"####", 0, false, true, true},
    {"#####", 0, false, true, true},
    {"############", 0, false, true, true},
}};

const PatternRule& ruleFor(std::string_view pattern)
{
    for (const PatternRule& rule : patternRules) {
        if (rule.pattern == pattern) {
            return rule;
        }
    }
    assert(false && "unsupported number pattern");
    return patternRules.front();
}

// True when magnitude lies exactly halfway between two neighbours with `decimals` decimals.
// A finite double is m * 2^-k with m odd; for k >= 1 its exact decimal expansion has exactly k
// decimals and ends in 5, so it is a tie at `decimals` decimals exactly when k == decimals + 1.
bool isExactHalf(double magnitude, int decimals)
{
    if (magnitude == 0.0) {
        return false;
    }
    int exponent = 0;
    const double fraction = std::frexp(magnitude, &exponent); // magnitude = fraction * 2^exponent
    const auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
    const int k = 53 - exponent - std::countr_zero(mantissa);
    return k == decimals + 1;
}

// Digits of the magnitude rounded half away from zero, e.g. "0.063" or "12".
std::string roundedDigits(double magnitude, int decimals)
{
    if (isExactHalf(magnitude, decimals)) {
        // fixedText rounds an exact tie to even; one ulp up makes it round away from zero
        magnitude = std::nextafter(magnitude, std::numeric_limits<double>::infinity());
    }
    // exact on the binary value and locale-independent
    return fixedText(magnitude, decimals);
}

bool isAllZeroDigits(const std::string& digits)
{
    return digits.find_first_not_of("0.") == std::string::npos;
}

} // namespace

std::string formatNumber(double value, std::string_view pattern)
{
    const PatternRule& rule = ruleFor(pattern);

    // The analysis stops on values that are not finite, so none should arrive here; should one
    // slip through, a run of asterisks marks the field rather than "nan" or "inf".
    assert(std::isfinite(value));
    if (!std::isfinite(value)) {
        return "***";
    }

    // the sign is judged before rounding, and -0.0 is not negative
    const bool negative = value < 0.0;
    std::string digits = roundedDigits(std::fabs(value), rule.decimals);

    if (rule.emptyForZero && isAllZeroDigits(digits)) {
        return {};
    }
    if (rule.integerDigitsOptional && digits.size() > 1 && digits[0] == '0' && digits[1] == '.') {
        digits.erase(0, 1);
    }

    std::string text;
    text.reserve(digits.size() + 1);
    if (negative) {
        text += '-';
    } else if (rule.blankBeforeNonNegative) {
        text += ' ';
    }
    text += digits;
    return text;
}

} // namespace tavrik
