#include "report/ReportWriter.h"

#include <climits>
#include <gtest/gtest.h>

namespace tavrik {
namespace {

TEST(ReportBareNumber, CarriesLeadingBlankOrMinusAndTrailingBlank)
{
    EXPECT_EQ(ReportWriter().number(3).str(), " 3 ");
    EXPECT_EQ(ReportWriter().number(-3).str(), "-3 ");
    EXPECT_EQ(ReportWriter().number(0).str(), " 0 ");
    EXPECT_EQ(ReportWriter().number(120).str(), " 120 ");
    EXPECT_EQ(ReportWriter().text("n =").number(12).text("cases").str(), "n = 12 cases");
    EXPECT_EQ(ReportWriter().number(LONG_MIN).str(), std::to_string(LONG_MIN) + " ");
}

TEST(ReportLines, EndWithCarriageReturnAndLineFeed)
{
    ReportWriter w;
    w.text("A").endLine().emptyLines(2).text("B").endLine();
    EXPECT_EQ(w.str(), "A\r\n\r\n\r\nB\r\n");
    EXPECT_EQ(w.sizeInBytes(), 10U);
}

TEST(ReportTabStop, PadsWithBlanksUpToTheColumn)
{
    ReportWriter w;
    w.text("Name").tab(10).text("x");
    EXPECT_EQ(w.str(), "Name     x"); // "x" is the 10th character
    EXPECT_EQ(ReportWriter().tab(4).text("y").str(), "   y");
}

TEST(ReportTabStop, WritesNothingWhenAlreadyAtTheColumn)
{
    ReportWriter w;
    w.text("123456789").tab(10).text("x");
    EXPECT_EQ(w.str(), "123456789x");
    EXPECT_EQ(ReportWriter().tab(1).text("z").str(), "z");
    EXPECT_EQ(ReportWriter().text("a").endLine().tab(1).text("b").str(), "a\r\nb");
}

TEST(ReportTabStop, ContinuesOnANewLineWhenTheColumnIsPassed)
{
    ReportWriter w;
    w.text("1234567890").tab(10).text("x");
    EXPECT_EQ(w.str(), "1234567890\r\n         x");

    ReportWriter passedFarLeft;
    passedFarLeft.text("A long population name").tab(4).text("0.5");
    EXPECT_EQ(passedFarLeft.str(), "A long population name\r\n   0.5");

    // the new line starts counting afresh, so a later stop on it is measured from its start
    ReportWriter twoStops;
    twoStops.text("abcdef").tab(3).text("1").tab(8).text("2");
    EXPECT_EQ(twoStops.str(), "abcdef\r\n  1    2");
}

TEST(ReportTabStop, CountsCharactersNotBytesInUtf8Names)
{
    // "Zürich" is 6 characters in 7 bytes, "Åre" 3 characters in 4 bytes
    ReportWriter w;
    w.text("Zürich").tab(10).text("x").endLine();
    w.text("Åre").tab(4).text("y").endLine();
    w.text("日本語").tab(4).text("z");
    EXPECT_EQ(w.str(), "Zürich   x\r\nÅrey\r\n日本語z");

    ReportWriter passed;
    passed.text("Ölandsbrödraskapet").tab(18).text("1");
    EXPECT_EQ(passed.str(), "Ölandsbrödraskapet\r\n                 1");
}

TEST(ReportTabStop, CountsBareNumbersAndFormattedTextInTheColumn)
{
    ReportWriter w;
    w.number(5).tab(4).text("a").number(-12).tab(10).text("b"); // "-12 " ends at column 8
    EXPECT_EQ(w.str(), " 5 a-12  b");
}

} // namespace
} // namespace tavrik
