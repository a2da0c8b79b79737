// The report sections written by the run, byte for byte: head, variable list, the two forms
// of the populations and diagonal tables, the Fst lines, the Velbrand-Torvane section, the
// matrix listing, and the rule that decides what goes to the screen.
#include "analysis/AnalysisReport.h"
#include "analysis/MatrixListing.h"
#include "analysis/VtAnalysis.h"

#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace tavrik {
namespace {

std::string sp(int n)
{
    return std::string(static_cast<std::size_t>(n), ' ');
}

std::string lines(std::initializer_list<std::string> ls)
{
    std::string s;
    for (const auto& l : ls) {
        s += l + "\r\n";
    }
    return s;
}

// Compares line by line so a failure names the first line that differs.
void expectSameText(const std::string& actual, const std::string& expected)
{
    std::istringstream a(actual);
    std::istringstream e(expected);
    std::string la;
    std::string le;
    int n = 1;
    while (std::getline(e, le)) {
        ASSERT_TRUE(static_cast<bool>(std::getline(a, la))) << "missing line " << n << ": " << le;
        ASSERT_EQ(la, le) << "line " << n;
        ++n;
    }
    EXPECT_FALSE(static_cast<bool>(std::getline(a, la))) << "extra line " << n << ": " << la;
    EXPECT_EQ(actual, expected);
}

// Between the first occurrence of from (excluded) and the next occurrence of to (excluded).
std::string between(const std::string& text, const std::string& from, const std::string& to)
{
    const auto a = text.find(from);
    const auto b = text.find(to, a);
    if (a == std::string::npos || b == std::string::npos) {
        return "<not found>";
    }
    return text.substr(a + from.size(), b - a - from.size());
}

// The clock gives the date on its first call and the time on its second.
Clock twoCallClock()
{
    auto calls = std::make_shared<int>(0);
    return [calls]() {
        ++*calls;
        return *calls == 1 ? LocalTime{2026, 12, 5, 6, 23, 59} : LocalTime{2026, 12, 6, 0, 9, 5};
    };
}

ReportHeadData weightedHead()
{
    ReportHeadData h;
    h.dataPath = "/data/pops.tvk";
    h.dataTitle = "Example data set";
    h.filePopCount = 3;
    h.fileVarCount = 5;
    h.heritability = 0.55f;
    h.biasCorrection = true;
    h.varNames = {"Stature", "Head length", "Head breadth", "Nose", "Ear"};
    h.popNames = {"North", "Coast"};
    h.sampleSizes = {12, 3};
    h.popSizes = {150.0f, 300.0f};
    h.popWeights = {1.0 / 3, 2.0 / 3};
    h.totalSampleSize = 15;
    h.matrixCount = 2;
    return h;
}

Relationship diagonalOnly()
{
    Relationship rel;
    rel.uncorrectedDiagonal = {0.25, 0.125};
    rel.biasTerm = {1.0 / 24, 1.0 / 6};
    rel.seDiagonal = {0.1, 0.2};
    return rel;
}

TEST(ReportHead, WeightedFormWithBiasCorrection)
{
    ReportWriter out;
    writeReportHead(out, weightedHead(), diagonalOnly(), twoCallClock());
    expectSameText(
        out.str(),
        lines({"TAVRIK 5.0",
               "Saturday, December 05, 2026     9:05 AM",
               "",
               "",
               "Data file = /data/pops.tvk",
               "",
               "Data set: Example data set",
               "",
               "Data available for:  3  populations and  5  variables",
               " Data selected for:  2  populations and  5  variables",
               "",
               "Heritability = 0.550",
               "",
               "Correction for sampling bias was requested, and any",
               "negative r(ii) or distance values were set equal to zero",
               "",
               "",
               "Variables used in this analysis:",
               "",
               "Stature" + sp(8) + "Head length" + sp(4) + "Head breadth" + sp(3) + "Nose" +
                   sp(11) + "Ear",
               "",
               "",
               "Populations used in this analysis:",
               "",
               sp(15) + "Sample" + sp(3) + "Population",
               "Population" + sp(6) + "size" + sp(7) + "size" + sp(6) + "Weight",
               "",
               "North" + sp(11) + "12" + sp(8) + "150" + sp(9) + "0.333",
               "Coast" + sp(11) + "3" + sp(9) + "300" + sp(9) + "0.667",
               "",
               "Total" + sp(11) + "15",
               "",
               "",
               "Diagonals of the R Matrix:",
               "",
               "Population" + sp(7) + "Biased r(ii)" + sp(5) + "Unbiased r(ii)" + sp(8) + "se",
               "",
               "North" + sp(14) + "0.250000" + sp(10) + "0.208333" + sp(8) + "0.100000",
               "Coast" + sp(14) + "0.125000" + sp(10) + "0.000000" + sp(8) + "0.200000"}));
}

TEST(ReportHead, EqualSizesFormWithoutCorrection)
{
    ReportHeadData h = weightedHead();
    h.matrixCount = 1;
    h.biasCorrection = false;
    ReportWriter out;
    writeReportHead(out, h, diagonalOnly(), twoCallClock());
    const std::string& text = out.str();
    EXPECT_NE(text.find(lines({"", "No correction for sampling bias", "", ""})), std::string::npos);
    expectSameText(between(text, "Populations used in this analysis:\r\n", "Diagonals"),
                   lines({"",
                          sp(15) + "Sample",
                          "Population" + sp(6) + "size",
                          "",
                          "North" + sp(11) + "12",
                          "Coast" + sp(11) + "3",
                          "",
                          "Total" + sp(11) + "15",
                          "",
                          "All populations are equally weighted",
                          "",
                          ""}));
    const auto at = text.find("Diagonals of the R Matrix:\r\n");
    expectSameText(text.substr(at),
                   lines({"Diagonals of the R Matrix:",
                          "",
                          "Population" + sp(7) + "Biased r(ii)" + sp(8) + "se",
                          "",
                          "North" + sp(13) + "0.250000" + sp(8) + "0.100000",
                          "Coast" + sp(13) + "0.125000" + sp(8) + "0.200000"}));
}

TEST(ReportHead, VariableListOfFiveEndsWithTwoEmptyLinesAndOfSixWithOne)
{
    ReportHeadData h = weightedHead();
    h.varNames = {"a", "b", "c", "d", "e"};
    const std::string full = "a" + sp(14) + "b" + sp(14) + "c" + sp(14) + "d" + sp(14) + "e";
    ReportWriter five;
    writeReportHead(five, h, diagonalOnly(), twoCallClock());
    EXPECT_EQ(between(five.str(), "Variables used in this analysis:\r\n\r\n", "Populations"),
              lines({full, "", ""}));

    h.varNames.push_back("f");
    ReportWriter six;
    writeReportHead(six, h, diagonalOnly(), twoCallClock());
    EXPECT_EQ(between(six.str(), "Variables used in this analysis:\r\n\r\n", "Populations"),
              lines({full, "f", ""}));
}

TEST(ReportHead, LongVariableNamePushesTheNextNameToItsColumnOnANewLine)
{
    ReportHeadData h = weightedHead();
    h.varNames = {"ABCDEFGHIJKLMNO", "ABCDEFGHIJKLMNOP", "x"};
    ReportWriter out;
    writeReportHead(out, h, diagonalOnly(), twoCallClock());
    EXPECT_EQ(between(out.str(), "Variables used in this analysis:\r\n\r\n", "Populations"),
              lines({"ABCDEFGHIJKLMNOABCDEFGHIJKLMNOP", sp(30) + "x", ""}));
}

TEST(FstLines, WithCorrectionShowBothValuesAndTheNote)
{
    Relationship rel;
    rel.fst = 0.2;
    rel.fstUnbiased = 0.15;
    rel.fstSe = 0.05;
    ReportWriter out;
    writeFstLines(out, rel, true);
    expectSameText(out.str(),
                   lines({"",
                          "            Fst = 0.200000",
                          "   Unbiased Fst = 0.150000",
                          "             se = 0.050000",
                          "",
                          "All further analyses are based on the unbiased R matrix",
                          "",
                          ""}));
    rel.fstUnbiased = rel.fst;
    ReportWriter plain;
    writeFstLines(plain, rel, false);
    expectSameText(plain.str(),
                   lines({"", "            Fst = 0.200000", "             se = 0.050000", "", ""}));
}

TEST(VelbrandTorvaneSection, NamesOfFifteenAndSixteenCharactersAtTheTabStop)
{
    Matrix r(2, 2);
    r(0, 0) = 0.25;
    r(1, 1) = 0.125;
    VtValues vt{{0.4, 0.2}, {0.5 - 0.4, -0.1}};
    ReportWriter out;
    writeVtSection(out, {"ABCDEFGHIJKLMNO", "ABCDEFGHIJKLMNOP"}, r, {0.5, 0.1}, vt, 0.3);
    expectSameText(
        out.str(),
        lines({"Velbrand-Torvane Analysis:",
               "",
               "Mean Within-group Phenotypic Variance = 0.300",
               "",
               sp(26) + "Within-group Phenotypic Variance",
               sp(26) + std::string(32, '-'),
               "Population" + sp(7) + "r(ii)" + sp(5) + "Observed" + sp(3) + "Expected" + sp(3) +
                   "Residual",
               "",
               "ABCDEFGHIJKLMNO0.250000" + sp(6) + "0.500" + sp(6) + "0.400" + sp(5) + " 0.100",
               "ABCDEFGHIJKLMNOP",
               sp(15) + "0.125000" + sp(6) + "0.100" + sp(6) + "0.200" + sp(5) + "-0.100",
               "",
               ""}));
}

Relationship twoPopulations()
{
    Relationship rel;
    rel.r = Matrix(2, 2);
    rel.r(0, 0) = 0.25;
    rel.r(0, 1) = rel.r(1, 0) = -0.05;
    rel.r(1, 1) = 0.125;
    rel.seDiagonal = {0.1, 0.2};
    rel.seR = Matrix(2, 2);
    rel.seR(0, 1) = 0.03;
    rel.dSquare = Matrix(2, 2);
    rel.dSquare(0, 1) = rel.dSquare(1, 0) = 0.475;
    rel.seDSquare = Matrix(2, 2);
    rel.seDSquare(0, 1) = 0.04;
    return rel;
}

TEST(MatrixListingText, TwoPopulationsWithStandardErrors)
{
    expectSameText(writeMatrixListing({"North", "Coast"}, twoPopulations(), nullptr),
                   lines({"R Matrix:",
                          "(standard errors in parentheses)",
                          "",
                          sp(15) + "North" + sp(10) + " 0.250000  (0.100000)",
                          sp(15) + "Coast" + sp(10) + " 0.125000  (0.200000)",
                          "",
                          "North" + sp(10) + "Coast" + sp(10) + "-0.050000  (0.030000)",
                          "",
                          "",
                          "D-Square Matrix:",
                          "(standard errors in parentheses)",
                          "",
                          "North" + sp(10) + "Coast" + sp(10) + " 0.475000  (0.040000)",
                          "",
                          ""}));
}

TEST(MatrixListingText, ScaledSectionFollowsWhenTheScaledMatrixWasAnalysed)
{
    ScaledMatrices s{Matrix(2, 2), Matrix(2, 2)};
    s.scaledRMatrix(0, 0) = 0.3;
    s.scaledRMatrix(0, 1) = 0.1;
    s.scaledRMatrix(1, 1) = 0.05;
    s.scaledDSquare(0, 1) = -0.2; // kept negative without the correction
    const std::string text = writeMatrixListing({"North", "Coast"}, twoPopulations(), &s);
    const auto at = text.find("The following matrices");
    ASSERT_NE(at, std::string::npos);
    expectSameText(text.substr(at),
                   lines({"The following matrices are based on the scaling method",
                          "described by Velbrand (1996) where the R matrix is",
                          "scaled as R(i,j) = g * sqrt[W(i)] * sqrt[W(j)] * R(i,j)",
                          "",
                          "Scaled R Matrix:",
                          "",
                          sp(15) + "North" + sp(10) + " 0.300000",
                          sp(15) + "Coast" + sp(10) + " 0.050000",
                          "",
                          "North" + sp(10) + "Coast" + sp(10) + " 0.100000",
                          "",
                          "",
                          "D-Square Matrix Based on Scaled R Matrix:",
                          "",
                          "North" + sp(10) + "Coast" + sp(10) + "-0.200000",
                          "",
                          ""}));
}

TEST(ScreenRule, ExactlyTheLimitCountsAsTooLarge)
{
    const std::string report(23000, 'r');
    const std::string listing(1000, 'm');
    const ScreenOutcome shown = decideScreen(report, listing, 1, 24000);
    EXPECT_EQ(shown.outputFitsScreen, 0);
    EXPECT_TRUE(shown.warnOutputTooLarge);
    EXPECT_EQ(shown.showMatrices, 0);
    EXPECT_EQ(shown.screenText, report);

    const ScreenOutcome quiet = decideScreen(report, listing, 0, 24000);
    EXPECT_EQ(quiet.outputFitsScreen, 0);
    EXPECT_FALSE(quiet.warnOutputTooLarge);
    EXPECT_EQ(quiet.screenText, report);
}

TEST(ScreenRule, OneByteBelowTheLimitFitsAndShowsTheListingOnlyOnRequest)
{
    const std::string report(23000, 'r');
    const std::string listing(999, 'm');
    const ScreenOutcome shown = decideScreen(report, listing, 1, 24000);
    EXPECT_EQ(shown.outputFitsScreen, 1);
    EXPECT_FALSE(shown.warnOutputTooLarge);
    EXPECT_EQ(shown.showMatrices, 1);
    EXPECT_EQ(shown.screenText, report + listing);
    EXPECT_EQ(decideScreen(report, listing, 0, 24000).screenText, report);
}

} // namespace
} // namespace tavrik
