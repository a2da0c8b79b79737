#include "report/NumberFormat.h"

#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace tavrik {
namespace {

struct Case
{
    double value;
    const char* expected;
};

void expectTable(const char* pattern, const std::vector<Case>& cases)
{
    for (const Case& c : cases) {
        EXPECT_EQ(formatNumber(c.value, pattern), c.expected)
            << "pattern \"" << pattern << "\", value " << c.value;
    }
}

// Expected texts below were worked out from the exact binary value of each double, e.g.
// 123.4567895 is 123.45678949999... (a hair below the half). Halves, their neighbours and
// dyadic halves of every fixed pattern are checked against the exact decimal expansion at
// the end.

TEST(NumberPatternFixed, WritesSixDecimalsWithAtLeastOneIntegerDigit)
{
    expectTable("0.000000",
                {{0.0, "0.000000"},
                 {1.0, "1.000000"},
                 {0.25, "0.250000"},
                 {123.4567895, "123.456789"}, // stored as 123.45678949999...
                 {2.0000005, "2.000001"},     // stored as 2.00000050000000007...
                 {0.9999995, "1.000000"},     // carry into the integer digit
                 {9.9999995, "9.999999"},     // stored as 9.99999949999...
                 {1234567.0, "1234567.000000"},
                 {-2.5, "-2.500000"},
                 {1e15, "1000000000000000.000000"}});
}

TEST(NumberPatternFixed, TakesTheSignFromTheUnroundedValue)
{
    expectTable("0.000000", {{-1e-9, "-0.000000"}, {-4e-7, "-0.000000"}, {-0.0, "0.000000"}});
    expectTable("0.000", {{-0.0004999, "-0.000"}, {-0.0, "0.000"}});
    expectTable("0.000;-0.000", {{-0.0001, "-0.000"}, {-0.0, "0.000"}, {1.5, "1.500"}});
    expectTable(
        "0.000000;-0.000000",
        {{-1e-12, "-0.000000"}, {-0.0, "0.000000"}, {0.5, "0.500000"}, {-0.5, "-0.500000"}});
}

TEST(NumberPatternFixed, TwoSectionsWithBlankKeepOneWidthForBothSigns)
{
    expectTable(" 0.000;-0.000",
                {{1.5, " 1.500"},
                 {-1.5, "-1.500"},
                 {0.0, " 0.000"},
                 {-0.0, " 0.000"},
                 {-0.0001, "-0.000"}});
    expectTable(
        " 0.0000;-0.0000",
        {{0.12345, " 0.1235"}, {-0.12345, "-0.1235"}, {-1e-9, "-0.0000"}, {12.0, " 12.0000"}});
    expectTable(
        " 0.000000;-0.000000",
        {{0.0625, " 0.062500"}, {-3.0, "-3.000000"}, {-0.0, " 0.000000"}, {-1e-300, "-0.000000"}});
}

TEST(NumberPatternOneDecimal, DropsTheZeroBeforeThePoint)
{
    expectTable("###.0",
                {{0.5, ".5"},
                 {0.04, ".0"},
                 {0.0, ".0"},
                 {0.25, ".3"},
                 {0.05, ".1"}, // stored a hair above the half
                 {0.15, ".1"}, // stored a hair below the half
                 {0.96, "1.0"},
                 {12.34, "12.3"},
                 {99.95, "100.0"},
                 {100.0, "100.0"},
                 {1234.56, "1234.6"},
                 {-0.5, "-.5"},
                 {-12.25, "-12.3"}});
}

TEST(NumberPatternWhole, PrintsNothingForAValueThatRoundsToZero)
{
    expectTable("####", {{0.0, ""}, {0.4, ""}, {-0.4, ""}, {-0.0, ""}, {0.49999999999999994, ""}});
    expectTable("############", {{0.0, ""}, {0.3, ""}});
}

TEST(NumberPatternWhole, WritesEveryDigitWithoutGroupingOrPadding)
{
    expectTable("####",
                {{0.5, "1"}, {12.0, "12"}, {20.0, "20"}, {1234567.0, "1234567"}, {-7.0, "-7"}});
    expectTable("###", {{5.0, "5"}, {999.0, "999"}, {1000.0, "1000"}, {123456.0, "123456"}});
    expectTable("#####", {{54321.0, "54321"}, {100000.0, "100000"}});
    expectTable("############", {{12.4, "12"}, {1e12, "1000000000000"}, {1e13, "10000000000000"}});
}

// Exact decimal expansion of |v| (printf prints the binary value exactly when asked for enough
// digits), cut after `decimals` digits and rounded up when the next digit is 5 or more: for the
// exact value that is rounding half away from zero.
std::string roundByDecimalExpansion(double v, int decimals)
{
    std::vector<char> buf(1500);
    const int n = std::snprintf(buf.data(), buf.size(), "%.1100f", std::fabs(v));
    std::string s(buf.data(), static_cast<std::size_t>(n));
    const std::size_t point = s.find('.');
    const bool up = s[point + 1 + static_cast<std::size_t>(decimals)] >= '5';
    s.resize(point + (decimals > 0 ? 1 + static_cast<std::size_t>(decimals) : 0));
    if (up) {
        std::size_t i = s.size();
        for (;;) {
            if (i == 0) {
                s.insert(s.begin(), '1');
                break;
            }
            --i;
            if (s[i] == '.') {
                continue;
            }
            if (s[i] == '9') {
                s[i] = '0';
            } else {
                ++s[i];
                break;
            }
        }
    }
    return (v < 0 ? "-" : "") + s;
}

TEST(NumberPatternFixed, AgreesWithTheExactDecimalExpansionNearEveryRoundingEdge)
{
    const std::vector<std::pair<const char*, int>> patterns{
        {"0.000", 3}, {"0.0000", 4}, {"0.000000", 6}, {"###", 0}};
    std::mt19937_64 random(20240229);
    std::uniform_int_distribution<long long> whole(-2000000, 2000000);
    std::uniform_int_distribution<int> shift(0, 6);
    for (const auto& [pattern, decimals] : patterns) {
        const double scale = std::pow(10.0, decimals);
        for (int trial = 0; trial < 4000; ++trial) {
            // a decimal half between two outputs, its binary neighbours, and a dyadic half
            const double half =
                (static_cast<double>(whole(random)) + 0.5) / scale / std::pow(10.0, shift(random));
            const double dyadic =
                std::ldexp(static_cast<double>(2 * whole(random) + 1), -(decimals + 1));
            for (const double v : {half,
                                   std::nextafter(half, 1e300),
                                   std::nextafter(half, -1e300),
                                   dyadic,
                                   std::nextafter(dyadic, 0.0)}) {
                std::string expected = roundByDecimalExpansion(v, decimals);
                if (decimals == 0 && (expected == "0" || expected == "-0")) {
                    expected.clear();
                }
                ASSERT_EQ(formatNumber(v, pattern), expected)
                    << "pattern \"" << pattern << "\", value " << v;
            }
        }
    }
}

} // namespace
} // namespace tavrik
