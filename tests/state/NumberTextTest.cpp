#include "state/NumberText.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace tavrik {
namespace {

TEST(NumberTextWrite, WritesTheShortestTextFixedOrScientificWhicheverIsShorter)
{
    const struct
    {
        double value;
        const char* text;
    } cases[] = {
        {0.1, "0.1"},
        {-0.0, "-0"},
        {123456.0, "123456"},
        {0.001, "0.001"}, // as long as 1e-03: fixed on a tie
        {0.0001, "1e-04"},
        {1e-7, "1e-07"},
        {1.5e-7, "1.5e-07"},
        {1e16, "1e+16"},
        {1e23, "1e+23"},
        {5e-324, "5e-324"},
        {1.7976931348623157e308, "1.7976931348623157e+308"},
        // whole numbers in fixed notation carry their exact digits
        {1152921504606846976.0, "1152921504606846976"},
        {123456789012345678.0, "123456789012345680"},
        {std::numeric_limits<double>::infinity(), "inf"},
        {-std::numeric_limits<double>::quiet_NaN(), "-nan"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(shortestText(c.value), c.text);
    }
    EXPECT_EQ(shortestText(0.55f), "0.55");
    EXPECT_EQ(shortestText(1099511627776.0f), "1099511627776"); // 2^40
    EXPECT_EQ(shortestText(1e-45f), "1e-45");
}

TEST(NumberTextWrite, RoundsExactTiesToTheEvenDigit)
{
    EXPECT_EQ(fixedText(0.125, 2), "0.12");
    EXPECT_EQ(fixedText(0.375, 2), "0.38");
    EXPECT_EQ(fixedText(2.5, 0), "2");
    EXPECT_EQ(fixedText(-3.5, 0), "-4");
    EXPECT_EQ(fixedText(-0.0, 3), "-0.000");
    EXPECT_EQ(fixedText(1e23, 0), "99999999999999991611392");
    EXPECT_EQ(scientificText(0.125, 1), "1.2e-01");
    EXPECT_EQ(scientificText(0.55, 6), "5.500000e-01");
}

TEST(NumberTextRead, SaysOutOfRangeForNumbersThatWouldBecomeInfinityOrZero)
{
    const struct
    {
        const char* text;
        std::errc ec;
        double value; // what a value of 7 becomes
        long length;
    } doubles[] = {
        {"1e400", std::errc::result_out_of_range, 7, 5},
        {"-1e400", std::errc::result_out_of_range, 7, 6},
        {"2e-324", std::errc::result_out_of_range, 7, 6},
        {"1e-400", std::errc::result_out_of_range, 7, 6},
        {"1e-310", std::errc{}, 1e-310, 6},
        {"4.9e-324", std::errc{}, 5e-324, 8},
        {"0.0e-999999", std::errc{}, 0, 11},
        {"1.5e", std::errc{}, 1.5, 3},
        {"inf", std::errc{}, std::numeric_limits<double>::infinity(), 3},
        {"+1", std::errc::invalid_argument, 7, 0},
        {".", std::errc::invalid_argument, 7, 0},
    };
    for (const auto& c : doubles) {
        double value = 7;
        const auto [ptr, ec] = readNumber(c.text, c.text + std::strlen(c.text), value);
        EXPECT_EQ(ec, c.ec) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
        EXPECT_EQ(ptr - c.text, c.length) << c.text;
    }
    const struct
    {
        const char* text;
        std::errc ec;
    } floats[] = {
        {"1e39", std::errc::result_out_of_range},
        {"1e-46", std::errc::result_out_of_range},
        {"1e-40", std::errc{}},
        {"3.4028235e38", std::errc{}},
    };
    for (const auto& c : floats) {
        float value = 7;
        EXPECT_EQ(readNumber(c.text, c.text + std::strlen(c.text), value).ec, c.ec) << c.text;
    }
}

#if defined(__cpp_lib_to_chars)

// The program's digits were those of the standard library's conversions where it has them;
// these hold the portable ones to them on a few million values and texts.
constexpr int rounds = 300000;

class AgreesWithTheStandardLibrary : public ::testing::Test
{
protected:
    std::mt19937_64 m_random{20261207};
    std::vector<std::string> m_mismatches;

    void compare(const std::string& what, const std::string& expected, const std::string& actual)
    {
        if (expected != actual && m_mismatches.size() < 10) {
            m_mismatches.push_back(what + ": expected " + expected + ", got " + actual);
        }
    }
    static std::string hex(double v)
    {
        char text[40];
        std::snprintf(text, sizeof text, "%a", v);
        return text;
    }
    template <typename T> void shortest(T v)
    {
        char text[64];
        const auto end = std::to_chars(text, text + sizeof text, v).ptr;
        compare("shortest " + hex(v), std::string(text, end), shortestText(v));
    }
    void fixed(double v, int decimals)
    {
        static char text[1200];
        const auto end =
            std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, decimals).ptr;
        compare("fixed " + hex(v), std::string(text, end), fixedText(v, decimals));
        const auto sci =
            std::to_chars(text, text + sizeof text, v, std::chars_format::scientific, decimals);
        compare("scientific " + hex(v), std::string(text, sci.ptr), scientificText(v, decimals));
    }
    template <typename T> void read(const std::string& text)
    {
        T expected = T(7.25);
        T actual = T(7.25);
        const char* first = text.data();
        const char* last = first + text.size();
        const auto e = std::from_chars(first, last, expected);
        const auto a = readNumber(first, last, actual);
        compare("read " + text,
                std::to_string(static_cast<int>(e.ec)) + " " + std::to_string(e.ptr - first) + " " +
                    hex(static_cast<double>(expected)),
                std::to_string(static_cast<int>(a.ec)) + " " + std::to_string(a.ptr - first) + " " +
                    hex(static_cast<double>(actual)));
    }
    // sign, 1 to 25 digits with a point anywhere or none, an exponent from the range given
    std::string decimalText(int lowest, int highest)
    {
        std::string text = m_random() % 2 ? "-" : "";
        const int digits = 1 + static_cast<int>(m_random() % 25);
        const int point = static_cast<int>(m_random() % static_cast<unsigned>(digits + 2));
        for (int i = 0; i < digits; ++i) {
            text += i == point ? "." : "";
            text += static_cast<char>('0' + m_random() % 10);
        }
        if (m_random() % 4 != 0) {
            const auto span = static_cast<unsigned>(highest - lowest + 1);
            text += (m_random() % 2 ? "e" : "E") +
                    std::to_string(lowest + static_cast<int>(m_random() % span));
        }
        return text;
    }
};

TEST_F(AgreesWithTheStandardLibrary, OnTheShortestTextOfRandomBitPatterns)
{
    for (int i = 0; i < rounds; ++i) {
        const std::uint64_t bits = m_random();
        shortest(std::bit_cast<double>(bits));
        shortest(std::bit_cast<float>(static_cast<std::uint32_t>(bits)));
        shortest(std::bit_cast<double>(bits & 0x800f'ffff'ffff'ffffu)); // subnormal
        shortest(std::bit_cast<float>(static_cast<std::uint32_t>(bits) & 0x807f'ffffu));
        // whole numbers up to 2^93 and values between 1e-20 and 1e+20, where fixed meets
        // scientific
        const auto mantissa = static_cast<double>(m_random() >> 11);
        shortest(std::ldexp(mantissa, static_cast<int>(m_random() % 41)));
        const double moderate = std::ldexp(mantissa, static_cast<int>(m_random() % 130) - 118);
        shortest(moderate);
        shortest(static_cast<float>(moderate));
        shortest(std::ldexp(static_cast<float>(m_random() >> 40), static_cast<int>(bits % 41)));
    }
    EXPECT_EQ(m_mismatches, std::vector<std::string>{});
}

TEST_F(AgreesWithTheStandardLibrary, OnFixedAndScientificTextAndExactTies)
{
    for (int i = 0; i < rounds; ++i) {
        const int decimals = static_cast<int>(m_random() % 21);
        const auto mantissa = static_cast<double>(m_random() >> 11);
        fixed(std::ldexp(mantissa, static_cast<int>(m_random() % 130) - 118), decimals);
        fixed(std::bit_cast<double>(m_random()), decimals % 4);
        // an odd multiple of 2^-(decimals + 1) lies halfway between two neighbours
        const double tie = std::ldexp(static_cast<double>((m_random() >> 40) | 1), -(decimals + 1));
        fixed(m_random() % 2 ? tie : -tie, decimals);
    }
    EXPECT_EQ(m_mismatches, std::vector<std::string>{});
}

TEST_F(AgreesWithTheStandardLibrary, OnReadingRandomTexts)
{
    const char alphabet[] = "0123456789.eE+-infatyINF()x ";
    for (int i = 0; i < rounds; ++i) {
        const std::string text = decimalText(-340, 320);
        read<double>(text);
        read<float>(text);
        read<float>(decimalText(-50, 45));
        std::string scraps;
        for (auto n = m_random() % 8; n > 0; --n) {
            scraps += alphabet[m_random() % (sizeof alphabet - 1)];
        }
        read<double>(scraps);
        read<float>(scraps);
    }
    for (const char* text : {"nan",
                             "-nan",
                             "nan(x1)",
                             "infinity",
                             "INF",
                             "-0",
                             "",
                             "1e+",
                             "2.4703282292062328e-324",
                             "2.4703282292062327e-324",
                             "1.7976931348623158e308",
                             "1.7976931348623159e308"}) {
        read<double>(text);
        read<float>(text);
    }
    EXPECT_EQ(m_mismatches, std::vector<std::string>{});
}

#endif

} // namespace
} // namespace tavrik
