#include "state/HeritabilityText.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace tavrik {
namespace {

struct TextCase
{
    const char* text;
    float value;
};

TEST(HeritabilityFromText, ReadsTheNumberAtTheStartOfTheTextIgnoringBlanks)
{
    const float inf = std::numeric_limits<float>::infinity();
    const TextCase cases[] = {
        {"1", 1.0f},
        {"0.5", 0.5f},
        {".5", 0.5f},
        {"1e-3", 0.001f},
        {"1E-3", 0.001f},
        {"1D-3", 0.001f},
        {"2.5d+1", 25.0f},
        {"0.5abc", 0.5f},
        {"+0.25", 0.25f},
        {"-0.5", -0.5f},
        {"5.", 5.0f},
        {"1.2.3", 1.2f},
        {"0.55", 0.55f},
        {"1e", 1.0f}, // an exponent letter without digits adds nothing
        {"0.5E+", 0.5f},
        // blanks anywhere
        {"  0.5", 0.5f},
        {"- 0 . 5", -0.5f},
        {"1 e - 3", 0.001f},
        {"\t1 2", 12.0f},
        // no number at the start
        {"", 0.0f},
        {"abc", 0.0f},
        {"   ", 0.0f},
        {"-", 0.0f},
        {"+", 0.0f},
        {".", 0.0f},
        {"e5", 0.0f},
        {".e5", 0.0f},
        {"x1", 0.0f},
        // overflow and underflow; the largest float survives its own decimal text
        {"1e39", inf},
        {"-1e999", -inf},
        {"1e99999999999", inf},
        {"1e-50", 0.0f},
        {"0.0001e-400", 0.0f},
        {"0e999", 0.0f},
        {"3.40282347e38", std::numeric_limits<float>::max()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(heritabilityFromText(c.text), c.value) << '"' << c.text << '"';
    }
}

TEST(HeritabilityFromText, RoundsToDoubleThenToFloat)
{
    // 0.1 as the float nearest to the double nearest to 1/10
    EXPECT_EQ(heritabilityFromText("0.1"), static_cast<float>(0.1));
    // Just above 1 + 2^-24: the nearest double is 1 + 2^-24 exactly, a float tie that rounds
    // to even (1.0); rounding the decimal straight to float would give 1 + 2^-23.
    EXPECT_EQ(heritabilityFromText("1.000000059604644776"), 1.0f);
}

TEST(HeritabilityText, WritesTheShortestPlainFormWithSevenDigits)
{
    EXPECT_EQ(heritabilityText(1.0f), "1");
    EXPECT_EQ(heritabilityText(0.5f), "0.5");
    EXPECT_EQ(heritabilityText(0.55f), "0.55");
    EXPECT_EQ(heritabilityText(0.001f), "0.001");
    EXPECT_EQ(heritabilityText(0.1f), "0.1");
    EXPECT_EQ(heritabilityText(1.0f / 3.0f), "0.3333333");
    EXPECT_EQ(heritabilityText(2.0f / 3.0f), "0.6666667");
    EXPECT_EQ(heritabilityText(25.0f), "25");
    EXPECT_EQ(heritabilityText(1234567.0f), "1234567");
    EXPECT_EQ(heritabilityText(123456789.0f), "123456800");
    EXPECT_EQ(heritabilityText(1e-5f), "0.00001");
    EXPECT_EQ(heritabilityText(-0.5f), "-0.5");
    EXPECT_EQ(heritabilityText(0.0f), "0");
}

TEST(HeritabilityText, ReadsBackToTheSameValue)
{
    for (float h : {1.0f, 0.5f, 0.55f, 0.001f, 0.3f, 0.99f, 1e-5f, 2.5e-9f, 7.0f}) {
        EXPECT_EQ(heritabilityFromText(heritabilityText(h)), h) << h;
    }
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(heritabilityFromText(heritabilityText(inf)), inf);
}

TEST(HeritabilityAccepted, AcceptsNormalFloatsAboveZeroUpToOne)
{
    EXPECT_FALSE(heritabilityAccepted(0.0f));
    EXPECT_FALSE(heritabilityAccepted(-0.0f));
    EXPECT_FALSE(heritabilityAccepted(-0.5f));
    EXPECT_FALSE(heritabilityAccepted(std::nextafter(1.0f, 2.0f)));
    EXPECT_FALSE(heritabilityAccepted(std::numeric_limits<float>::infinity()));
    EXPECT_TRUE(heritabilityAccepted(1.0f));
    EXPECT_TRUE(heritabilityAccepted(0.001f));
    // 1E-45 is kept as the smallest float above 0, a subnormal with one bit of precision
    EXPECT_FALSE(heritabilityAccepted(heritabilityFromText("1e-45")));
    EXPECT_FALSE(heritabilityAccepted(std::nextafter(1.17549435e-38f, 0.0f)));
    EXPECT_TRUE(heritabilityAccepted(1.17549435e-38f));
}

} // namespace
} // namespace tavrik
