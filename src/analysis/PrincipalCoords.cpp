#include "analysis/PrincipalCoords.h"

#include "report/NumberFormat.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Rows, columns and eigenvalue positions are 0-based here; the plot's cells are numbered 1..20
// (column 1 at the left, row 1 at the bottom) as the report draws them.

namespace tavrik {

namespace {

constexpr int plotCells = 20;
constexpr int middleCell = 10;
constexpr std::string_view plotSymbols =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr char overflowSymbol = '*'; // every further cell once the list is used up
constexpr char emptyCell = ' ';
constexpr char centroidMark = '+';
constexpr std::string_view frameLine = "          :---------------------------------------:";
constexpr std::string_view plotIndent = "          :";
// an eigenvalue further below zero than rounding leaves one
constexpr double negativeEigenvalueThreshold = 5E-07;

// Cell 1..20 of value v on the common axis; halves go to the higher cell. A range of zero (all
// values equal) or a value that is not a number puts the point in the middle cell.
int plotCell(double v, double plotMin, double plotRange)
{
    if (!(plotRange > 0.0) || !std::isfinite(plotRange)) {
        return middleCell;
    }
    const double position = 1.0 + 19.0 * (v - plotMin) / plotRange + 0.5;
    if (std::isnan(position)) {
        return middleCell;
    }
    if (position < 1.0) {
        return 1;
    }
    if (position >= static_cast<double>(plotCells)) {
        return plotCells;
    }
    return static_cast<int>(std::floor(position));
}

// A share that cannot be computed (the listed eigenvalues sum to 0) is written as 0.
double share(double part, double eigenvalueSum)
{
    const double percent = part / eigenvalueSum * 100.0;
    return std::isfinite(percent) ? percent : 0.0;
}

void writeTitle(ReportWriter& out, int pass)
{
    if (pass == 1) {
        out.text("Principal Coordinates Analysis of R Matrix:").endLine();
        return;
    }
    out.text("Principal Coordinates Analysis of Scaled R Matrix:").endLine();
    out.text("The R matrix has been scaled by square roots of population weights,").endLine();
    out.text("as R(ij) = g * sqrt[W(i)] * sqrt[W(j)] * R(ij) -- see Velbrand ").endLine();
    out.text("(Trait Studies 41:17-32, 1996)").endLine();
}

void writePlot(ReportWriter& out, const Matrix& ev, const std::vector<std::string>& populationNames)
{
    const std::size_t g = ev.rows();

    // One scale for both axes: the largest and the smallest of all x and y values, scanned x
    // before y in population order, with the sentinels -99999 and 99999 as the starting points.
    double plotMax = -99999.0;
    double plotMin = 99999.0;
    for (std::size_t i = 0; i < g; ++i) {
        if (ev(i, 0) > plotMax) {
            plotMax = ev(i, 0);
        }
        if (ev(i, 1) > plotMax) {
            plotMax = ev(i, 1);
        }
        if (ev(i, 0) < plotMin) {
            plotMin = ev(i, 0);
        }
        if (ev(i, 1) < plotMin) {
            plotMin = ev(i, 1);
        }
    }
    const double plotRange = plotMax - plotMin;

    // grid[column - 1][row - 1]
    std::array<std::array<char, plotCells>, plotCells> grid{};
    for (auto& column : grid) {
        column.fill(emptyCell);
    }
    std::vector<char> populationSymbols(g, emptyCell);
    std::size_t symbolCount = 0;
    for (std::size_t i = 0; i < g; ++i) {
        const int column = plotCell(ev(i, 0), plotMin, plotRange);
        const int row = plotCell(ev(i, 1), plotMin, plotRange);
        char& cell = grid[static_cast<std::size_t>(column - 1)][static_cast<std::size_t>(row - 1)];
        if (cell == emptyCell) {
            cell = symbolCount < plotSymbols.size() ? plotSymbols[symbolCount] : overflowSymbol;
            ++symbolCount;
        }
        populationSymbols[i] = cell;
    }

    // the origin of both coordinates
    const int centroidCell = plotCell(0.0, plotMin, plotRange);
    char& centroid = grid[static_cast<std::size_t>(centroidCell - 1)]
                         [static_cast<std::size_t>(centroidCell - 1)];
    if (centroid == emptyCell) {
        centroid = centroidMark;
    }

    out.text("Plot of First Two Scaled Eigenvectors:").endLine();
    out.emptyLines(1);
    out.text(frameLine).endLine();
    for (int row = plotCells; row >= 1; --row) {
        std::string line(plotIndent);
        for (int column = 1; column <= plotCells; ++column) {
            line += grid[static_cast<std::size_t>(column - 1)][static_cast<std::size_t>(row - 1)];
            line += column < plotCells ? ' ' : ':';
        }
        out.text(line).endLine();
    }
    out.text(frameLine).endLine();
    out.emptyLines(1);
    out.text("Population").tab(16).text("Symbol").endLine();
    out.emptyLines(1);
    for (std::size_t i = 0; i < g; ++i) {
        out.text(populationNames[i]).tab(18).text(std::string(1, populationSymbols[i])).endLine();
    }
    out.emptyLines(1);
    if (centroid != centroidMark) {
        out.text("The symbol ")
            .text(std::string(1, centroid))
            .text(" also marks the centroid")
            .endLine();
    } else {
        out.text("Centroid").tab(18).text("+").endLine();
    }
    out.emptyLines(2);
}

// The shares are of the listed (positive) eigenvalues; a double-centred matrix that is not
// positive semi-definite also has clearly negative ones, and the reader is told how much.
void writeNegativeEigenvalueNote(ReportWriter& out, const Matrix& lambda, std::size_t g)
{
    std::size_t negative = 0;
    double sum = 0.0;
    for (std::size_t k = 0; k < g; ++k) {
        if (lambda(k, k) < -negativeEigenvalueThreshold) {
            ++negative;
            sum += lambda(k, k);
        }
    }
    if (negative == 0) {
        return;
    }
    out.text("Note: " + std::to_string(negative) + " negative eigenvalue" +
             (negative > 1 ? "s" : "") + ", sum " + formatNumber(sum, "0.0000") +
             "; the shares below are of the listed eigenvalues")
        .endLine();
    out.emptyLines(1);
}

// Lists the first `listed` eigenvalues and returns their sum.
double writeEigenvalueList(ReportWriter& out, const Matrix& lambda, std::size_t listed)
{
    out.text("There are ")
        .number(static_cast<long>(listed))
        .text(" non-zero eigenvalues, listed below:")
        .endLine();
    out.emptyLines(1);
    double eigenvalueSum = 0.0;
    for (std::size_t k = 0; k < listed; ++k) {
        out.tab(4).text(formatNumber(lambda(k, k), "0.0000")).endLine();
        eigenvalueSum += lambda(k, k);
    }
    out.emptyLines(1);
    return eigenvalueSum;
}

// The percentages of the first and the second eigenvalue. An eigenvalue that is not listed
// has no share; with one listed, the first two together account for the first's share.
std::vector<double>
writeShares(ReportWriter& out, const Matrix& lambda, std::size_t listed, double eigenvalueSum)
{
    const bool secondListed = listed >= 2;
    const double percentFirst = share(lambda(0, 0), eigenvalueSum);
    const double percentSecond = secondListed ? share(lambda(1, 1), eigenvalueSum) : 0.0;
    const double percentFirstTwo =
        secondListed ? share(lambda(0, 0) + lambda(1, 1), eigenvalueSum) : percentFirst;
    out.text("The first eigenvalue accounts for ")
        .text(formatNumber(percentFirst, "###.0"))
        .text(" % of the variation")
        .endLine();
    out.text("The second eigenvalue accounts for ")
        .text(formatNumber(percentSecond, "###.0"))
        .text(" % of the variation")
        .endLine();
    out.emptyLines(1);
    out.text("The first two eigenvalues collectively account for ")
        .text(formatNumber(percentFirstTwo, "###.0"))
        .text(" % of the variation")
        .endLine();
    out.emptyLines(1);
    return {percentFirst, percentSecond};
}

// A listed eigenvalue that rounding left below zero scales its coordinate by 0. The
// eigenvalues are in decreasing order, so the listed ones lead; a coordinate whose eigenvalue
// is not listed is (positive) 0 for every population.
void scaleEigenvectors(Matrix& ev, const Matrix& lambda, std::size_t listed, std::size_t g)
{
    for (std::size_t i = 0; i < g; ++i) {
        for (std::size_t k = 0; k < listed; ++k) {
            ev(i, k) = std::sqrt(std::max(0.0, lambda(k, k))) * ev(i, k);
        }
        for (std::size_t k = listed; k < 2; ++k) {
            ev(i, k) = 0.0;
        }
    }
}

void writeScores(ReportWriter& out,
                 const Matrix& ev,
                 const std::vector<std::string>& populationNames,
                 std::size_t g,
                 Matrix& scores)
{
    out.text("First two eigenvectors (scaled by the square root of their eigenvalues):").endLine();
    out.emptyLines(1);
    out.tab(22).text("I").tab(33).text("II").endLine();
    out.emptyLines(1);
    for (std::size_t i = 0; i < g; ++i) {
        out.text(populationNames[i])
            .tab(18)
            .text(formatNumber(ev(i, 0), " 0.0000;-0.0000"))
            .tab(30)
            .text(formatNumber(ev(i, 1), " 0.0000;-0.0000"))
            .endLine();
        scores(i, 0) = ev(i, 0);
        scores(i, 1) = ev(i, 1);
    }
    out.emptyLines(2);
}

} // namespace

void writePrincipalCoordsSection(ReportWriter& out,
                                 int pass,
                                 EigenDecomposition& eig,
                                 const std::vector<std::string>& populationNames,
                                 Matrix& scores,
                                 std::vector<double>* shares)
{
    const Matrix& lambda = eig.centredMatrix; // eigenvalue k at (k, k)
    Matrix& ev = eig.eigenvectors;
    const std::size_t g = ev.rows();
    const auto listed = static_cast<std::size_t>(std::max(eig.nonZeroCount, 0));
    assert(g >= 2 && listed <= g && populationNames.size() >= g);
    assert(scores.rows() >= g && scores.cols() >= 2);

    writeTitle(out, pass);
    out.emptyLines(1);

    if (shares != nullptr) {
        shares->clear();
    }
    if (listed == 0) {
        // No share can be computed and there is nothing to plot; the scores stay 0.
        out.text("There are no non-zero eigenvalues: the populations do not differ on these "
                 "variables.")
            .endLine();
        for (std::size_t i = 0; i < g; ++i) {
            scores(i, 0) = 0.0;
            scores(i, 1) = 0.0;
        }
        out.emptyLines(2);
        return;
    }

    const double eigenvalueSum = writeEigenvalueList(out, lambda, listed);
    writeNegativeEigenvalueNote(out, lambda, g);
    std::vector<double> percents = writeShares(out, lambda, listed, eigenvalueSum);
    if (shares != nullptr) {
        *shares = std::move(percents);
    }
    scaleEigenvectors(ev, lambda, listed, g);
    writeScores(out, ev, populationNames, g, scores);
    writePlot(out, ev, populationNames);
}

} // namespace tavrik
