#include "analysis/PrincipalCoords.h"

#include "analysis/Eigen.h"

#include <cmath>
#include <cstddef>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tavrik {
namespace {

const std::string indent = "          :";
const std::string frame = indent + std::string(39, '-') + ":";
const std::string emptyRow = indent + std::string(39, ' ') + ":";

std::string blanks(std::size_t n)
{
    return std::string(n, ' ');
}

// Eigenvalues on the diagonal, eigenvectors given column by column.
EigenDecomposition handMade(const std::vector<double>& lambda,
                            const std::vector<std::vector<double>>& columns,
                            int nonZeroCount)
{
    const std::size_t g = lambda.size();
    EigenDecomposition eig;
    eig.centredMatrix = Matrix(g, g);
    eig.eigenvectors = Matrix(g, g);
    for (std::size_t k = 0; k < g; ++k) {
        eig.centredMatrix(k, k) = lambda[k];
        for (std::size_t i = 0; i < g; ++i) {
            eig.eigenvectors(i, k) = k < columns.size() ? columns[k][i] : 0.0;
        }
    }
    eig.nonZeroCount = nonZeroCount;
    return eig;
}

struct Section
{
    std::vector<std::string> lines;
    Matrix scores;
};

Section write(int pass, EigenDecomposition& eig, const std::vector<std::string>& names)
{
    ReportWriter out;
    Section section{{}, Matrix(names.size(), 2)};
    writePrincipalCoordsSection(out, pass, eig, names, section.scores);
    const std::string& text = out.str();
    std::size_t start = 0;
    for (std::size_t end = text.find("\r\n"); end != std::string::npos;
         end = text.find("\r\n", start)) {
        section.lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    EXPECT_EQ(start, text.size()) << "text after the last line end";
    return section;
}

// The 20 plot lines, top row first.
std::vector<std::string> plotRows(const std::vector<std::string>& lines)
{
    std::size_t n = 0;
    while (n < lines.size() && lines[n] != frame) {
        ++n;
    }
    if (n + 21 > lines.size()) {
        ADD_FAILURE() << "no plot";
        return {};
    }
    return {lines.begin() + static_cast<long>(n) + 1, lines.begin() + static_cast<long>(n) + 21};
}

void expectLines(const std::vector<std::string>& actual, const std::vector<std::string>& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t n = 0; n < expected.size(); ++n) {
        ASSERT_EQ(actual[n], expected[n]) << "line " << n + 1;
    }
}

TEST(PrincipalCoordsSection, WritesTheWholeSectionOfASmallCase)
{
    // x = 2 v1 = (0.5, -1, 0.5), y = v2 = (0.5, 0, -0.5); range -1 .. 0.5
    EigenDecomposition eig =
        handMade({4, 1, 0}, {{0.25, -0.5, 0.25}, {0.5, 0, -0.5}, {0.6, 0.6, 0.6}}, 2);
    const Section s = write(1, eig, {"Alpha", "Beta", "Gamma"});

    std::vector<std::string> expected{
        "Principal Coordinates Analysis of R Matrix:",
        "",
        "There are  2  non-zero eigenvalues, listed below:",
        "",
        "   4.0000",
        "   1.0000",
        "",
        "The first eigenvalue accounts for 80.0 % of the variation",
        "The second eigenvalue accounts for 20.0 % of the variation",
        "",
        "The first two eigenvalues collectively account for 100.0 % of the variation",
        "",
        "First two eigenvectors (scaled by the square root of their eigenvalues):",
        "",
        blanks(21) + "I" + blanks(10) + "II",
        "",
        "Alpha             0.5000      0.5000",
        "Beta             -1.0000      0.0000",
        "Gamma             0.5000     -0.5000",
        "",
        "",
        "Plot of First Two Scaled Eigenvectors:",
        "",
        frame};
    for (int row = 20; row >= 1; --row) {
        if (row == 20) {
            expected.push_back(indent + blanks(38) + "A:"); // (20, 20)
        } else if (row == 14) {
            expected.push_back(indent + "B" + blanks(25) + "+" + blanks(12) + ":"); // 1 and 14
        } else if (row == 7) {
            expected.push_back(indent + blanks(38) + "C:");
        } else {
            expected.push_back(emptyRow);
        }
    }
    expected.insert(expected.end(),
                    {frame,
                     "",
                     "Population     Symbol",
                     "",
                     "Alpha            A",
                     "Beta             B",
                     "Gamma            C",
                     "",
                     "Centroid         +",
                     "",
                     ""});
    expectLines(s.lines, expected);
    EXPECT_EQ(s.scores(1, 0), -1.0);
    EXPECT_EQ(s.scores(2, 1), -0.5);
    EXPECT_EQ(eig.eigenvectors(0, 0), 0.5); // scaled in place
}

TEST(PrincipalCoordsPlot, RoundsHalvesUpAndLetsOneCellShareItsSymbolWithTheCentroid)
{
    // range -1 .. 1: the origin lies exactly halfway between cells 10 and 11 and goes to 11;
    // populations 3 and 4 share that cell, population 5 gets the next symbol
    EigenDecomposition eig =
        handMade({1, 1, 0, 0, 0}, {{-1, 1, 0, 0.02, 0.5}, {-1, 1, 0, 0.02, -0.5}}, 2);
    const Section s = write(1, eig, {"P1", "P2", "P3", "P4", "P5"});
    const std::vector<std::string> plot = plotRows(s.lines);
    ASSERT_EQ(plot.size(), 20u);
    EXPECT_EQ(plot[0], indent + blanks(38) + "B:");                    // row 20
    EXPECT_EQ(plot[9], indent + blanks(20) + "C" + blanks(18) + ":");  // row 11
    EXPECT_EQ(plot[14], indent + blanks(28) + "D" + blanks(10) + ":"); // row 6
    EXPECT_EQ(plot[19], indent + "A" + blanks(38) + ":");              // row 1
    expectLines({s.lines.end() - 10, s.lines.end()},
                {"",
                 "P1               A",
                 "P2               B",
                 "P3               C",
                 "P4               C",
                 "P5               D",
                 "",
                 "The symbol C also marks the centroid",
                 "",
                 ""});
}

TEST(PrincipalCoordsPlot, SharesTheStarOnceTheSymbolsRunOut)
{
    // 70 populations in 70 cells: x = i mod 20, y = i div 20, so cell = value + 1
    const std::size_t g = 70;
    std::vector<double> lambda(g, 0.0);
    lambda[0] = 1.0;
    lambda[1] = 1.0;
    std::vector<std::vector<double>> columns(2, std::vector<double>(g));
    std::vector<std::string> names;
    for (std::size_t i = 0; i < g; ++i) {
        columns[0][i] = static_cast<double>(i % 20);
        columns[1][i] = static_cast<double>(i / 20);
        names.push_back("P" + std::to_string(i + 1));
    }
    EigenDecomposition eig = handMade(lambda, columns, 2);
    const Section s = write(1, eig, names);
    const std::size_t legend = s.lines.size() - 4 - g; // first legend line
    EXPECT_EQ(s.lines[legend], "P1               A");
    EXPECT_EQ(s.lines[legend + 61], "P62              9");
    EXPECT_EQ(s.lines[legend + 62], "P63              *");
    EXPECT_EQ(s.lines[legend + 69], "P70              *");
    EXPECT_EQ(s.lines[s.lines.size() - 3], "The symbol A also marks the centroid");
}

TEST(PrincipalCoordsDegenerate, NoNonZeroEigenvalueWritesOneLineAndLeavesScoresAtZero)
{
    EigenDecomposition eig = handMade({0, 0, 0}, {{1, 0, 0}, {0, 1, 0}}, 0);
    const Section s = write(1, eig, {"A", "B", "C"});
    expectLines(s.lines,
                {"Principal Coordinates Analysis of R Matrix:",
                 "",
                 "There are no non-zero eigenvalues: the populations do not differ on these "
                 "variables.",
                 "",
                 ""});
    EXPECT_EQ(s.scores, Matrix(3, 2));
}

// One listed eigenvalue and a second that is rounding noise below zero (two populations, one
// variable): the second axis has no share and every population's second coordinate is +0.
TEST(PrincipalCoordsDegenerate, AxisWithoutAListedEigenvalueHasNoShareAndZeroCoordinates)
{
    EigenDecomposition eig =
        handMade({2.25, -3e-17, 0}, {{0.6, -0.8, 0.0}, {-0.5, -0.25, 0.75}}, 1);
    const Section s = write(1, eig, {"A", "B", "C"});
    EXPECT_EQ(s.lines[2], "There are  1  non-zero eigenvalues, listed below:");
    EXPECT_EQ(s.lines[4], "   2.2500");
    EXPECT_EQ(s.lines[6], "The first eigenvalue accounts for 100.0 % of the variation");
    EXPECT_EQ(s.lines[7], "The second eigenvalue accounts for .0 % of the variation");
    EXPECT_EQ(s.lines[9],
              "The first two eigenvalues collectively account for 100.0 % of the variation");
    EXPECT_EQ(s.lines[15], "A                 0.9000      0.0000");
    EXPECT_EQ(s.lines[16], "B                -1.2000      0.0000");
    EXPECT_EQ(s.lines[17], "C                 0.0000      0.0000");
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(s.scores(i, 1), 0.0);
        EXPECT_FALSE(std::signbit(s.scores(i, 1))) << "population " << i;
    }
}

TEST(PrincipalCoordsDegenerate, EqualCoordinatesAllGoToTheMiddleCell)
{
    EigenDecomposition eig = handMade({1, 1, 0}, {{0.5, 0.5, 0.5}, {0.5, 0.5, 0.5}}, 2);
    const Section s = write(1, eig, {"A", "B", "C"});
    const std::vector<std::string> plot = plotRows(s.lines);
    ASSERT_EQ(plot.size(), 20u);
    for (std::size_t n = 0; n < plot.size(); ++n) {
        EXPECT_EQ(plot[n], n == 10 ? indent + blanks(18) + "A" + blanks(20) + ":" : emptyRow);
    }
    EXPECT_EQ(s.lines[s.lines.size() - 3], "The symbol A also marks the centroid");
}

} // namespace
} // namespace tavrik
