#include "state/HeritabilityText.h"

#include "state/NumberText.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
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
// text handed to readNumber short.
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

// The text as heritabilityFromText reads it: blanks are skipped before every character.
class BlankSkippingText
{
public:
    explicit BlankSkippingText(std::string_view text)
        : m_text(text)
    {}

    // The next character that is no blank; '\0' at the end, which no rule takes.
    char peek()
    {
        while (m_at < m_text.size() && isBlank(m_text[m_at])) {
            ++m_at;
        }
        return m_at < m_text.size() ? m_text[m_at] : '\0';
    }
    void take() { ++m_at; }

    // An optional sign; true when it is a minus.
    bool takeSign()
    {
        const char c = peek();
        if (c == '+' || c == '-') {
            take();
            return c == '-';
        }
        return false;
    }

private:
    std::string_view m_text;
    std::size_t m_at = 0;
};

// A decimal number as written: sign, digits before and after the point, exponent.
struct DecimalText
{
    bool negative = false;
    std::string intDigits;
    std::string fracDigits;
    int exponent = 0;
};

// An exponent letter (E or D, either case) with an optional sign and digits; one without
// digits adds nothing, and no letter gives 0.
int scanExponent(BlankSkippingText& in)
{
    const char letter = in.peek();
    if (letter != 'E' && letter != 'e' && letter != 'D' && letter != 'd') {
        return 0;
    }
    in.take();
    const bool negative = in.takeSign();
    int value = 0;
    while (isDigit(in.peek())) {
        value = std::min(exponentCap, value * 10 + (in.peek() - '0'));
        in.take();
    }
    return negative ? -value : value;
}

// The number at the start of text; none when it has no digit.
std::optional<DecimalText> scanDecimal(std::string_view text)
{
    BlankSkippingText in(text);
    DecimalText d;
    d.negative = in.takeSign();
    bool seenPoint = false;
    for (char c = in.peek();; c = in.peek()) {
        if (isDigit(c)) {
            (seenPoint ? d.fracDigits : d.intDigits) += c;
        } else if (c == '.' && !seenPoint) {
            seenPoint = true;
        } else {
            break;
        }
        in.take();
    }
    if (d.intDigits.empty() && d.fracDigits.empty()) {
        return std::nullopt;
    }
    d.exponent = scanExponent(in);
    return d;
}

// The unsigned value rounded to double; beyond the double range, infinity or 0.
double magnitudeOf(const DecimalText& d)
{
    std::string number = d.intDigits.empty() ? "0" : d.intDigits;
    if (!d.fracDigits.empty()) {
        number += '.';
        number += d.fracDigits;
    }
    number += 'e';
    number += std::to_string(d.exponent);

    double magnitude = 0.0;
    const auto [end, ec] = readNumber(number.data(), number.data() + number.size(), magnitude);
    (void)end;
    if (ec == std::errc::result_out_of_range) {
        // Decimal position of the first significant digit decides overflow or underflow.
        const auto firstInt = d.intDigits.find_first_not_of('0');
        long position = 0;
        if (firstInt != std::string::npos) {
            position = static_cast<long>(d.intDigits.size() - firstInt);
        } else {
            const auto firstFrac = d.fracDigits.find_first_not_of('0');
            position = firstFrac == std::string::npos ? 0 : -static_cast<long>(firstFrac);
        }
        magnitude = position + d.exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return magnitude;
}

} // namespace

float heritabilityFromText(std::string_view text)
{
    const std::optional<DecimalText> d = scanDecimal(text);
    if (!d) {
        return 0.0f;
    }
    const double magnitude = magnitudeOf(*d);
    return toFloat(d->negative ? -magnitude : magnitude);
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
    const std::string sci = scientificText(static_cast<double>(std::fabs(value)), 6);
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
