// Hand-worked cases for the numeric stages: weights, inversion, R matrix, bias correction,
// distances, the scaled matrix and the Velbrand-Torvane section's notes. Expected values come from
// hand calculation or closed forms written out here.
#include "analysis/DataPasses.h"
#include "analysis/Inversion.h"
#include "analysis/RMatrix.h"
#include "analysis/ScaledMatrix.h"
#include "analysis/VtAnalysis.h"

#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

#include "RunTestSupport.h"

namespace tavrik {
namespace {

using test::fromRows;

constexpr double closeTolerance = 1e-12; // for values that went through a few roundings

TEST(PopulationWeights, SumTheFloatSizesInDoubleSoSmallSizesAreNotLost)
{
    // In float, 1e8 + 1 rounds back to 1e8; the sum must keep both ones.
    const std::vector<float> sizes{1e8f, 1.0f, 1.0f};
    const auto w = populationWeights(sizes);
    ASSERT_EQ(w.size(), 3u);
    EXPECT_EQ(w[1], 1.0 / 100000002.0);
    EXPECT_EQ(w[0], 1e8 / 100000002.0);
}

TEST(MatrixInversion, MatchesTheClosedFormTwoByTwoInverseAndInterchangesRows)
{
    // [[a, b], [c, d]]^-1 = 1 / (ad - bc) [[d, -b], [-c, a]]; a leading entry of 0 or of 1e-11,
    // below the tolerance, makes the inversion interchange the rows
    for (const auto [a, b, c, d] : {std::array{4.0, 7.0, 2.0, 6.0},
                                    std::array{0.0, 1.0, 2.0, 3.0},
                                    std::array{1e-11, 1.0, 2.0, 3.0}}) {
        SCOPED_TRACE(a);
        auto inv = invertMatrix(fromRows({{a, b}, {c, d}}));
        ASSERT_TRUE(inv.ok());
        const double det = a * d - b * c;
        EXPECT_NEAR((*inv)(0, 0), d / det, closeTolerance);
        EXPECT_NEAR((*inv)(0, 1), -b / det, closeTolerance);
        EXPECT_NEAR((*inv)(1, 0), -c / det, closeTolerance);
        EXPECT_NEAR((*inv)(1, 1), a / det, closeTolerance);
    }
}

TEST(MatrixInversion, RefusesSingularAndZeroMatrices)
{
    for (const Matrix& a :
         {fromRows({{1, 2}, {2, 4}}), fromRows({{0, 0}, {0, 0}}), fromRows({{5e-11}})}) {
        auto inv = invertMatrix(a);
        ASSERT_FALSE(inv.ok());
        EXPECT_EQ(inv.error().kind, ErrorKind::Analysis);
        EXPECT_EQ(inv.error().message, "Matrix could not be inverted");
    }
}

// Two populations of equal weight, one variable, means -1 and +1, inverse 0.5:
// Q = [[0.5,-0.5],[-0.5,0.5]], s = 0.5, Fst = 0.5 / 2.5 = 0.2, r = Q * 0.8 / 2.
TEST(RelationshipMatrix, MirrorImagePopulationsGiveOppositeRAndFourfoldDistance)
{
    const Matrix means = fromRows({{-1}, {1}});
    const std::vector<double> n{2, 2};
    const std::vector<double> w{0.5, 0.5};
    Relationship rel = computeRelationship(means, n, w, fromRows({{0.5}}), false);
    completeRelationship(rel, n, 1, false);

    EXPECT_NEAR(rel.fst, 0.2, closeTolerance);
    EXPECT_EQ(rel.fstUnbiased, rel.fst);
    EXPECT_NEAR(rel.r(0, 0), 0.2, closeTolerance);
    EXPECT_EQ(rel.r(0, 1), -rel.r(0, 0));
    EXPECT_EQ(rel.r(1, 1), rel.r(0, 0));
    EXPECT_EQ(rel.dSquare(0, 1), 4 * rel.r(0, 0));
    EXPECT_EQ(rel.dSquare(1, 0), rel.dSquare(0, 1));
    EXPECT_EQ(rel.dSquare(0, 0), 0.0);
    // se(r11) = sqrt(2 * 0.2 * 0.8 / 2); se(Fst) = sqrt(0.8^3 * 2 * (2 * 0.25 * 0.2 / 2))
    EXPECT_NEAR(rel.seDiagonal[0], std::sqrt(0.16), closeTolerance);
    EXPECT_NEAR(rel.fstSe, std::sqrt(0.512 * 0.1), closeTolerance);
    // se(r12) = sqrt(0.8 / 2 * (0.2/2 + 0.2/2)); se(d12) = sqrt(2 * 0.8 * 0.8 * (1/2 + 1/2))
    EXPECT_NEAR(rel.seR(0, 1), std::sqrt(0.08), closeTolerance);
    EXPECT_NEAR(rel.seDSquare(0, 1), std::sqrt(1.28), closeTolerance);
    EXPECT_EQ(rel.seR(1, 0), 0.0);
    EXPECT_EQ(rel.seDSquare(0, 0), 0.0);
    EXPECT_EQ(rel.seDSquare(1, 0), 0.0);
}

TEST(RelationshipMatrix, IdenticalMeansGiveZeroEverywhere)
{
    // weights and means exact in binary, so the centroid equals every mean exactly
    const Matrix means = fromRows({{0.75, -1.5}, {0.75, -1.5}, {0.75, -1.5}});
    const std::vector<double> n{4, 5, 6};
    const std::vector<double> w{0.25, 0.25, 0.5};
    const Matrix inverse = fromRows({{2, 0.5}, {0.5, 1}});
    for (const bool bias : {false, true}) {
        Relationship rel = computeRelationship(means, n, w, inverse, bias);
        completeRelationship(rel, n, 2, bias);
        EXPECT_EQ(rel.fst, 0.0);
        EXPECT_EQ(rel.fstUnbiased, 0.0);
        EXPECT_EQ(rel.fstSe, 0.0);
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(rel.seDiagonal[i], 0.0);
            for (std::size_t j = 0; j < 3; ++j) {
                EXPECT_EQ(rel.r(i, j), 0.0) << bias << " " << i << "," << j;
                EXPECT_EQ(rel.dSquare(i, j), 0.0);
                EXPECT_EQ(rel.seR(i, j), 0.0);
                EXPECT_EQ(rel.seDSquare(i, j), 0.0);
            }
        }
    }
}

// Three populations, one variable, deviations 1, 1.1, -2.1 around a zero centroid (equal
// weights), inverse 1. Populations 1 and 2 have a single record each, so their bias term
// 1/2 exceeds their r(ii).
struct ClampCase
{
    Matrix means = fromRows({{1.0}, {1.1}, {-2.1}});
    std::vector<double> n{1, 1, 10};
    std::vector<double> w{1.0 / 3, 1.0 / 3, 1.0 / 3};
    Matrix inverse = fromRows({{1.0}});
};

TEST(BiasCorrection, ClampsSmallDiagonalsAndTheDistancesTheyMakeNegativeToExactZero)
{
    ClampCase c;
    Relationship rel = computeRelationship(c.means, c.n, c.w, c.inverse, true);
    const double centroid = (1.0 + 1.1 - 2.1) / 3; // about 0, as the code sees it
    const double s =
        (std::pow(1.0 - centroid, 2) + std::pow(1.1 - centroid, 2) + std::pow(-2.1 - centroid, 2)) /
        3;
    const double fst = s / (s + 2);
    const double r33 = std::pow(-2.1 - centroid, 2) * (1 - fst) / 2;
    EXPECT_NEAR(rel.fst, fst, closeTolerance);
    EXPECT_NEAR(rel.fstUnbiased, (r33 - 0.05) / 3, closeTolerance);
    EXPECT_NEAR(
        rel.uncorrectedDiagonal[0], std::pow(1.0 - centroid, 2) * (1 - fst) / 2, closeTolerance);

    completeRelationship(rel, c.n, 1, true);
    EXPECT_EQ(rel.r(0, 0), 0.0);
    EXPECT_EQ(rel.r(1, 1), 0.0);
    EXPECT_NEAR(rel.r(2, 2), r33 - 0.05, closeTolerance);
    EXPECT_GT(rel.r(0, 1), 0.0); // off-diagonal elements are never corrected
    EXPECT_EQ(rel.dSquare(0, 1), 0.0);
    EXPECT_FALSE(std::signbit(rel.dSquare(0, 1)));
    // standard errors use the uncorrected diagonal
    EXPECT_NEAR(rel.seDiagonal[0],
                std::sqrt(2 * rel.uncorrectedDiagonal[0] * (1 - fst) / 1),
                closeTolerance);
}

TEST(BiasCorrection, SwitchedOffKeepsTheDiagonalAndFstUnbiasedEqualsFst)
{
    ClampCase c;
    Relationship rel = computeRelationship(c.means, c.n, c.w, c.inverse, false);
    completeRelationship(rel, c.n, 1, false);
    EXPECT_EQ(rel.fstUnbiased, rel.fst);
    EXPECT_EQ(rel.r(0, 0), rel.uncorrectedDiagonal[0]);
    // d12 = (1.0 - 1.1)^2 * (1 - Fst) / 2, small and positive
    EXPECT_NEAR(rel.dSquare(0, 1), 0.01 * (1 - rel.fst) / 2, 1e-12);
    for (const double b : rel.biasTerm) {
        EXPECT_EQ(b, 0.0);
    }
}

TEST(ScaledMatrix, EqualWeightsLeaveRUnchanged)
{
    const Matrix r = fromRows({{0.3, -0.1, 0.05, -0.2},
                               {-0.1, 0.4, 0.0, 0.1},
                               {0.05, 0.0, 0.2, 0.3},
                               {-0.2, 0.1, 0.3, 0.9}});
    const std::vector<double> w(4, 0.25);
    const ScaledMatrices s = computeScaledMatrices(r, w, true);
    EXPECT_EQ(s.scaledRMatrix, r);
    EXPECT_NEAR(s.scaledDSquare(0, 1), 0.3 + 0.4 + 0.2, closeTolerance);
    EXPECT_EQ(s.scaledDSquare(2, 2), 0.0);
}

TEST(ScaledMatrix, NegativeDistanceKeepsItsSignOnlyWithoutCorrection)
{
    const Matrix r = fromRows({{0.1, 0.3}, {0.3, 0.1}});
    const std::vector<double> w{0.5, 0.5};
    EXPECT_NEAR(computeScaledMatrices(r, w, false).scaledDSquare(0, 1), -0.4, closeTolerance);
    EXPECT_EQ(computeScaledMatrices(r, w, true).scaledDSquare(0, 1), 0.0);
}

TEST(VelbrandTorvane, ExpectedVarianceUsesCorrectedDiagonalAndUnbiasedFst)
{
    // E = 0.3 * (1 - r) / (1 - 0.25); residual = O - E
    const Matrix r = fromRows({{0.0, 0.1}, {0.1, 0.5}});
    const VtValues vt = computeVt({0.5, 0.1}, 0.3, r, 0.25);
    EXPECT_NEAR(vt.expectedVariance[0], 0.4, closeTolerance);
    EXPECT_NEAR(vt.expectedVariance[1], 0.2, closeTolerance);
    EXPECT_NEAR(vt.residualVariance[0], 0.1, closeTolerance);
    EXPECT_NEAR(vt.residualVariance[1], -0.1, closeTolerance);
}

TEST(VelbrandTorvane, NotesEachPopulationWhoseDiagonalIsAboveOneAfterTheTable)
{
    // r(ii) of exactly 1 gives E = 0, which is still a variance: no note
    const Matrix r = fromRows({{2.25, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.5}});
    const std::vector<double> observed{0.5, 0.4, 0.3};
    const VtValues vt = computeVt(observed, 0.3, r, 0.25);
    const std::string rows = "setosa         2.250000      0.500      -0.500     1.000\r\n"
                             "versicolor     1.000000      0.400      0.000      0.400\r\n"
                             "virginica      1.500000      0.300      -0.200     0.500\r\n";
    ReportWriter out;
    writeVtSection(out, {"setosa", "versicolor", "virginica"}, r, observed, vt, 0.3);
    const std::string text = out.str();
    const std::size_t at = text.find(rows);
    ASSERT_NE(at, std::string::npos) << text;
    EXPECT_EQ(text.substr(at + rows.size()),
              "\r\n"
              "Note: r(ii) of setosa is above 1, so its expected variance is below zero and not "
              "meaningful\r\n"
              "Note: r(ii) of virginica is above 1, so its expected variance is below zero and "
              "not meaningful\r\n"
              "\r\n\r\n");

    const Matrix below = fromRows({{1.0, 0.0}, {0.0, 0.2}});
    ReportWriter plain;
    writeVtSection(
        plain, {"A", "B"}, below, {0.5, 0.4}, computeVt({0.5, 0.4}, 0.3, below, 0.25), 0.3);
    EXPECT_EQ(plain.str().substr(plain.str().size() - 11), "0.080\r\n\r\n\r\n");
}

} // namespace
} // namespace tavrik
