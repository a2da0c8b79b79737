// The principal coordinates section where the golden reports do not reach: plot cells on
// exact halves, symbols running out, and no eigenvalue at all, a single cell for all, and the
// note on clearly negative eigenvalues.
#include "analysis/PrincipalCoords.h"

#include "analysis/Eigen.h"

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

TEST(PrincipalCoordsNegative, NotesClearlyNegativeEigenvaluesAfterTheListOnly)
{
    struct Case
    {
        std::vector<double> lambda;
        std::string note; // empty: no note, the section as before
    };
    const std::vector<Case> cases{
        // -5E-07 itself is rounding, as the listing's threshold is
        {{0.5, 0.2, -5E-07, 0.0}, ""},
        {{0.5, 0.2, -0.00620001, 0.0},
         "Note: 1 negative eigenvalue, sum -0.0062; the shares below are of the listed "
         "eigenvalues"},
        {{0.5, 0.2, -0.01, -0.0047},
         "Note: 2 negative eigenvalues, sum -0.0147; the shares below are of the listed "
         "eigenvalues"},
    };
    for (const Case& c : cases) {
        for (const int pass : {1, 2}) {
            EigenDecomposition eig =
                handMade(c.lambda, {{0.5, -0.5, 0.5, -0.5}, {0.5, 0.5, -0.5, -0.5}}, 2);
            const Section s = write(pass, eig, {"A", "B", "C", "D"});
            const std::size_t title = pass == 1 ? 1 : 4;
            ASSERT_GT(s.lines.size(), title + 8);
            EXPECT_EQ(s.lines[title + 1], "There are  2  non-zero eigenvalues, listed below:");
            EXPECT_EQ(s.lines[title + 3], "   0.5000");
            EXPECT_EQ(s.lines[title + 4], "   0.2000");
            EXPECT_EQ(s.lines[title + 5], "");
            if (c.note.empty()) {
                EXPECT_EQ(s.lines[title + 6],
                          "The first eigenvalue accounts for 71.4 % of the variation");
            } else {
                EXPECT_EQ(s.lines[title + 6], c.note);
                EXPECT_EQ(s.lines[title + 7], "");
                EXPECT_EQ(s.lines[title + 8],
                          "The first eigenvalue accounts for 71.4 % of the variation");
            }
        }
    }
}

} // namespace
} // namespace tavrik
