#include "state/NumberText.h"

#include <cmath>
#include <cstdlib>
#include <fast_float/fast_float.h>
#include <fmt/format.h>
#include <string_view>

namespace tavrik {

namespace {

std::string nonFiniteText(bool negative, bool isNan)
{
    std::string text = negative ? "-" : "";
    text += isNan ? "nan" : "inf";
    return text;
}

// A finite nonzero value as its significant digits d1 d2 ... dn (no leading or trailing zero)
// and the power of ten of d1.
struct ShortestDigits
{
    std::string digits;
    int exponent = 0;
};

// fmt writes the shortest digits that read back to the value, in a layout of its own; only the
// digits and their place are taken from it.
ShortestDigits shortestDigits(std::string_view text)
{
    ShortestDigits out;
    int pointPlace = 0; // digits before the point
    bool seenPoint = false;
    std::size_t i = text.starts_with('-') ? 1 : 0;
    for (; i < text.size() && text[i] != 'e'; ++i) {
        if (text[i] == '.') {
            seenPoint = true;
        } else if (out.digits.empty() && text[i] == '0') {
            pointPlace -= seenPoint ? 1 : 0;
        } else {
            out.digits += text[i];
            pointPlace += seenPoint ? 0 : 1;
        }
    }
    int exponent10 = 0;
    if (i < text.size()) {
        exponent10 = std::atoi(std::string(text.substr(i + 1)).c_str());
    }
    while (!out.digits.empty() && out.digits.back() == '0') {
        out.digits.pop_back();
    }
    out.exponent = pointPlace - 1 + exponent10;
    return out;
}

template <typename T> std::string shortestTextOf(T value)
{
    if (!std::isfinite(value)) {
        return nonFiniteText(std::signbit(value), std::isnan(value));
    }
    const bool negative = std::signbit(value);
    if (value == 0) {
        return negative ? "-0" : "0";
    }
    const ShortestDigits d = shortestDigits(fmt::format("{}", value));
    const int n = static_cast<int>(d.digits.size());
    const int e = d.exponent;

    const int absExponent = std::abs(e);
    const int scientificLength = n + (n > 1 ? 1 : 0) + 2 + (absExponent >= 100 ? 3 : 2);
    const int fixedLength = e >= n - 1 ? e + 1 : (e >= 0 ? n + 1 : n + 1 - e);

    std::string out = negative ? "-" : "";
    if (fixedLength <= scientificLength) {
        if (e >= n - 1) {
            // a whole number: its exact digits, not the shortest ones padded with zeros
            return fmt::format("{:.0f}", value);
        }
        if (e >= 0) {
            out.append(d.digits, 0, static_cast<std::size_t>(e + 1));
            out += '.';
            out.append(d.digits, static_cast<std::size_t>(e + 1));
        } else {
            out += "0.";
            out.append(static_cast<std::size_t>(-e - 1), '0');
            out += d.digits;
        }
        return out;
    }
    out += d.digits[0];
    if (n > 1) {
        out += '.';
        out.append(d.digits, 1);
    }
    out += e < 0 ? "e-" : "e+";
    if (absExponent < 10) {
        out += '0';
    }
    out += std::to_string(absExponent);
    return out;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// True when the digits before the exponent hold one that is not zero.
bool hasNonzeroDigit(const char* first, const char* last)
{
    for (; first < last && *first != 'e' && *first != 'E'; ++first) {
        if (*first >= '1' && *first <= '9') {
            return true;
        }
    }
    return false;
}

template <typename T>
std::from_chars_result readDecimal(const char* first, const char* last, T& value)
{
    T parsed{};
    const auto result = fast_float::from_chars(first, last, parsed);
    if (result.ec != std::errc{}) {
        return {result.ptr, result.ec};
    }
    // fast_float rounds a number beyond the range to infinity or to zero and says nothing
    const char* mantissa = first < last && *first == '-' ? first + 1 : first;
    const bool numeral = mantissa < result.ptr && (isDigit(*mantissa) || *mantissa == '.');
    if (numeral && (std::isinf(parsed) || (parsed == 0 && hasNonzeroDigit(mantissa, result.ptr)))) {
        return {result.ptr, std::errc::result_out_of_range};
    }
    value = parsed;
    return {result.ptr, std::errc{}};
}

} // namespace

std::string shortestText(double value)
{
    return shortestTextOf(value);
}

std::string shortestText(float value)
{
    return shortestTextOf(value);
}

std::string fixedText(double value, int decimals)
{
    if (!std::isfinite(value)) {
        return nonFiniteText(std::signbit(value), std::isnan(value));
    }
    return fmt::format("{:.{}f}", value, decimals);
}

std::string scientificText(double value, int decimals)
{
    if (!std::isfinite(value)) {
        return nonFiniteText(std::signbit(value), std::isnan(value));
    }
    return fmt::format("{:.{}e}", value, decimals);
}

std::from_chars_result readNumber(const char* first, const char* last, double& value)
{
    return readDecimal(first, last, value);
}

std::from_chars_result readNumber(const char* first, const char* last, float& value)
{
    return readDecimal(first, last, value);
}

} // namespace tavrik
