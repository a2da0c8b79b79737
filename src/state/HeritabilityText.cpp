#include "state/HeritabilityText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace tavrik {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Exponents beyond this only decide between overflow and underflow; capping them keeps the
// text handed to from_chars short.
constexpr int exponentCap = 99999;

// Rounds a double to float the way an IEEE conversion does, infinity included, without the
// undefined behaviour of casting a value beyond the float range.
float toFloat(double d)
{
    // FLT_MAX plus half an ulp: from here on the rounding goes to infinity
    constexpr double overflowEdge = 3.4028235677973366e38;
    if (std::fabs(d) >= overflowEdge) {
        return d > 0 ? std::numeric_limits<float>::infinity()
                     : -std::numeric_limits<float>::infinity();
    }
    return static_cast<float>(d);
}

} // namespace

float heritabilityFromText(std::string_view text)
{
    std::size_t i = 0;
    const auto skipBlanks = [&] {
        while (i < text.size() && isBlank(text[i])) {
            ++i;
        }
    };

    skipBlanks();
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }

    std::string intDigits;
    std::string fracDigits;
    bool seenPoint = false;
    for (;;) {
        skipBlanks();
        if (i >= text.size()) {
            break;
        }
        const char c = text[i];
        if (isDigit(c)) {
            (seenPoint ? fracDigits : intDigits) += c;
            ++i;
        } else if (c == '.' && !seenPoint) {
            seenPoint = true;
            ++i;
        } else {
            break;
        }
    }
    if (intDigits.empty() && fracDigits.empty()) {
        return 0.0f;
    }

    int exponent = 0;
    skipBlanks();
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e' || text[i] == 'D' || text[i] == 'd')) {
        ++i;
        skipBlanks();
        bool expNegative = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            expNegative = text[i] == '-';
            ++i;
        }
        int value = 0;
        for (;;) {
            skipBlanks();
            if (i >= text.size() || !isDigit(text[i])) {
                break;
            }
            value = std::min(exponentCap, value * 10 + (text[i] - '0'));
            ++i;
        }
        // an exponent letter without digits adds nothing
        exponent = expNegative ? -value : value;
    }

    std::string number = intDigits.empty() ? "0" : intDigits;
    if (!fracDigits.empty()) {
        number += '.';
        number += fracDigits;
    }
    number += 'e';
    number += std::to_string(exponent);

    double magnitude = 0.0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), magnitude);
    (void)end;
    if (ec == std::errc::result_out_of_range) {
        // Decimal position of the first significant digit decides overflow or underflow.
        const auto firstInt = intDigits.find_first_not_of('0');
        long position = 0;
        if (firstInt != std::string::npos) {
            position = static_cast<long>(intDigits.size() - firstInt);
        } else {
            const auto firstFrac = fracDigits.find_first_not_of('0');
            position = firstFrac == std::string::npos ? 0 : -static_cast<long>(firstFrac);
        }
        magnitude = position + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return toFloat(negative ? -magnitude : magnitude);
}

std::string heritabilityText(float value)
{
    if (std::isnan(value)) {
        return "0";
    }
    if (std::isinf(value)) {
        // beyond every float; reads back as infinity
        return value > 0 ? "1E+39" : "-1E+39";
    }
    if (value == 0.0f) {
        return "0";
    }

    // d.dddddde+XX: seven significant digits, correctly rounded
    char buf[32];
    const auto res = std::to_chars(buf,
                                   buf + sizeof buf,
                                   static_cast<double>(std::fabs(value)),
                                   std::chars_format::scientific,
                                   6);
    const std::string sci(buf, res.ptr);
    const auto ePos = sci.find('e');
    std::string digits = sci.substr(0, 1) + sci.substr(2, ePos - 2);
    const int exp10 = std::stoi(sci.substr(ePos + 1));
    while (digits.size() > 1 && digits.back() == '0') {
        digits.pop_back();
    }

    std::string out = value < 0 ? "-" : "";
    const int intCount = exp10 + 1; // digits before the point
    if (intCount <= 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-intCount), '0');
        out += digits;
    } else if (static_cast<std::size_t>(intCount) >= digits.size()) {
        out += digits;
        out.append(static_cast<std::size_t>(intCount) - digits.size(), '0');
    } else {
        out += digits.substr(0, static_cast<std::size_t>(intCount));
        out += '.';
        out += digits.substr(static_cast<std::size_t>(intCount));
    }
    return out;
}

bool heritabilityAccepted(float value)
{
    return value >= std::numeric_limits<float>::min() && value <= 1.0f;
}

} // namespace tavrik
