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
}

TEST(ReportTabStop, PadsToTheColumnOrContinuesOnANewLineCountingCharacters)
{
    const struct
    {
        ReportWriter written;
        const char* expected;
    } cases[] = {
        {ReportWriter().text("Name").tab(10).text("x"), "Name     x"}, // "x" is the 10th
        {ReportWriter().tab(4).text("y"), "   y"},
        // already at the column: nothing
        {ReportWriter().text("123456789").tab(10).text("x"), "123456789x"},
        {ReportWriter().tab(1).text("z"), "z"},
        {ReportWriter().text("a").endLine().tab(1).text("b"), "a\r\nb"},
        // passed: a new line, which starts counting afresh for a later stop
        {ReportWriter().text("1234567890").tab(10).text("x"), "1234567890\r\n         x"},
        {ReportWriter().text("A long population name").tab(4).text("0.5"),
         "A long population name\r\n   0.5"},
        {ReportWriter().text("abcdef").tab(3).text("1").tab(8).text("2"), "abcdef\r\n  1    2"},
        // characters, not bytes: "Zürich" is 6 characters in 7 bytes, "Åre" 3 in 4
        {ReportWriter().text("Zürich").tab(10).text("x"), "Zürich   x"},
        {ReportWriter().text("Åre").tab(4).text("y"), "Årey"},
        {ReportWriter().text("日本語").tab(4).text("z"), "日本語z"},
        {ReportWriter().text("Ölandsbrödraskapet").tab(18).text("1"),
         "Ölandsbrödraskapet\r\n                 1"},
        // bare numbers count with their blanks: "-12 " ends at column 8
        {ReportWriter().number(5).tab(4).text("a").number(-12).tab(10).text("b"), " 5 a-12  b"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.written.str(), c.expected);
    }
}

} // namespace
} // namespace tavrik
