// The Jacobi solver, double centring and eigenvalue order on hand-worked matrices; a whole
// case where the solver leaves a negative eigenvalue between positive ones is the golden
// identical_pair report.
#include "analysis/Eigen.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace tavrik {
namespace {

constexpr double closeTo = 1e-13; // a few units in the last place of values near 1
// The solver stops once the off-diagonal elements are below 7.45E-09 times the smallest diagonal
// magnitude: eigenvalues are then exact to rounding, eigenvectors only to about that level.
constexpr double eigenvectorAccuracy = 1e-8;

Matrix fromRows(const std::vector<std::vector<double>>& rows)
{
    Matrix m(rows.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        for (std::size_t j = 0; j < rows.size(); ++j) {
            m(i, j) = rows[i][j];
        }
    }
    return m;
}

// A v(k) = lambda(k) v(k) for every column, and V'V = I.
void expectEigenPairs(const Matrix& a, const EigenDecomposition& eig, double tolerance)
{
    const std::size_t g = a.rows();
    for (std::size_t k = 0; k < g; ++k) {
        for (std::size_t i = 0; i < g; ++i) {
            double av = 0.0;
            for (std::size_t j = 0; j < g; ++j) {
                av += a(i, j) * eig.eigenvectors(j, k);
            }
            EXPECT_NEAR(av, eig.centredMatrix(k, k) * eig.eigenvectors(i, k), tolerance)
                << "column " << k << ", row " << i;
        }
        for (std::size_t l = 0; l < g; ++l) {
            double dot = 0.0;
            for (std::size_t i = 0; i < g; ++i) {
                dot += eig.eigenvectors(i, k) * eig.eigenvectors(i, l);
            }
            EXPECT_NEAR(dot, k == l ? 1.0 : 0.0, tolerance) << "columns " << k << ", " << l;
        }
    }
}

TEST(JacobiSolver, EqualDiagonalTurnsBy45DegreesAndKeepsTheLargerValueFirst)
{
    const Matrix a = fromRows({{2, 1}, {1, 2}});
    const EigenDecomposition eig = solveJacobi(a);
    const double h = 1.0 / std::sqrt(2.0);
    EXPECT_TRUE(eig.converged);
    EXPECT_EQ(eig.rotationCount, 1);
    EXPECT_NEAR(eig.centredMatrix(0, 0), 3.0, closeTo);
    EXPECT_NEAR(eig.centredMatrix(1, 1), 1.0, closeTo);
    EXPECT_EQ(eig.centredMatrix(0, 1), 0.0);
    EXPECT_EQ(eig.centredMatrix(1, 0), 1.0); // lower triangle untouched
    EXPECT_DOUBLE_EQ(eig.eigenvectors(0, 0), h);
    EXPECT_DOUBLE_EQ(eig.eigenvectors(1, 0), h);
    EXPECT_DOUBLE_EQ(eig.eigenvectors(0, 1), -h);
    EXPECT_DOUBLE_EQ(eig.eigenvectors(1, 1), h);
}

TEST(JacobiSolver, SwapsAPairWhoseLargerValueCameOutSecond)
{
    // eigenvalues 2 + sqrt 2 with (1, 1 + sqrt 2), 2 - sqrt 2 with (-(1 + sqrt 2), 1); the
    // swap of the pair puts the larger one first and changes the sign of the second column
    const Matrix a = fromRows({{1, 1}, {1, 3}});
    const EigenDecomposition eig = solveJacobi(a);
    const double root2 = std::sqrt(2.0);
    const double norm = std::sqrt(1.0 + (1.0 + root2) * (1.0 + root2));
    EXPECT_NEAR(eig.centredMatrix(0, 0), 2.0 + root2, closeTo);
    EXPECT_NEAR(eig.centredMatrix(1, 1), 2.0 - root2, closeTo);
    EXPECT_NEAR(eig.eigenvectors(0, 0), 1.0 / norm, closeTo);
    EXPECT_NEAR(eig.eigenvectors(1, 0), (1.0 + root2) / norm, closeTo);
    EXPECT_NEAR(eig.eigenvectors(0, 1), -(1.0 + root2) / norm, closeTo);
    EXPECT_NEAR(eig.eigenvectors(1, 1), 1.0 / norm, closeTo);
}

TEST(JacobiSolver, LeavesADiagonalMatrixAsItIs)
{
    const Matrix a = fromRows({{1, 0, 0}, {0, 5, 0}, {0, 0, -3}});
    const EigenDecomposition eig = solveJacobi(a);
    EXPECT_EQ(eig.rotationCount, 0);
    EXPECT_EQ(eig.centredMatrix, a); // unsorted: 1, 5, -3
    EXPECT_EQ(eig.nonZeroCount, 2);
    Matrix identity(3, 3);
    for (std::size_t k = 0; k < 3; ++k) {
        identity(k, k) = 1.0;
    }
    EXPECT_EQ(eig.eigenvectors, identity);
}

TEST(JacobiSolver, TakesTheLastOfEqualElementsInARowAsPivot)
{
    // Row 1 ties between columns 2 and 3; the pivot (1, 3) turns by 45 degrees, leaves
    // (h, 0, h) and (-h, 0, h) and a single element sqrt 2 at (1, 2), which the second rotation
    // removes: 2 and -1 from [[1, sqrt 2], [sqrt 2, 0]], then the -1 of the first rotation.
    const Matrix a = fromRows({{0, 1, 1}, {1, 0, 1}, {1, 1, 0}});
    const EigenDecomposition eig = solveJacobi(a);
    const double h = 1.0 / std::sqrt(2.0);
    EXPECT_EQ(eig.rotationCount, 2);
    EXPECT_NEAR(eig.centredMatrix(0, 0), 2.0, closeTo);
    EXPECT_NEAR(eig.centredMatrix(1, 1), -1.0, closeTo);
    EXPECT_NEAR(eig.centredMatrix(2, 2), -1.0, closeTo);
    EXPECT_DOUBLE_EQ(eig.eigenvectors(0, 2), -h);
    EXPECT_EQ(eig.eigenvectors(1, 2), 0.0);
    EXPECT_DOUBLE_EQ(eig.eigenvectors(2, 2), h);
    EXPECT_NEAR(eig.eigenvectors(1, 1), 2.0 / std::sqrt(6.0), closeTo);
    expectEigenPairs(a, eig, eigenvectorAccuracy);
}

TEST(JacobiSolver, StopsWithoutLoopingOnValuesThatAreNotFinite)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double bad : {nan, inf}) {
        Matrix a = fromRows({{1, 0.5, 0.2}, {0.5, 2, 0.1}, {0.2, 0.1, 3}});
        a(0, 2) = bad;
        a(2, 0) = bad;
        const EigenDecomposition eig = decompose(a);
        EXPECT_FALSE(eig.converged);
        EXPECT_EQ(eig.rotationCount, 0);
    }
}

TEST(DoubleCentring, GivesMinusHalfTheCentredSquaredDistances)
{
    // r11 + r22 - 2 r12 = 3, so every element is +-3/4
    const Matrix c = doubleCentre(fromRows({{3, 0.5}, {0.5, 1}}));
    EXPECT_EQ(c, fromRows({{0.75, -0.75}, {-0.75, 0.75}}));

    const Matrix d = doubleCentre(fromRows({{0.9, 0.1, -0.3, 0.2},
                                            {0.1, 0.4, 0.05, -0.1},
                                            {-0.3, 0.05, 1.3, 0.0},
                                            {0.2, -0.1, 0.0, 0.25}}));
    for (std::size_t i = 0; i < 4; ++i) {
        double rowSum = 0.0;
        double colSum = 0.0;
        for (std::size_t j = 0; j < 4; ++j) {
            rowSum += d(i, j);
            colSum += d(j, i);
        }
        EXPECT_NEAR(rowSum, 0.0, 1e-15);
        EXPECT_NEAR(colSum, 0.0, 1e-15);
    }
}

TEST(Decompose, CoordinatesReproduceTheDistancesOfPointsInAPlane)
{
    // R = X X' for five points of a plane: two positive eigenvalues, and the scaled first two
    // eigenvectors are the points again up to rotation, so they keep every distance
    const std::vector<std::array<double, 2>> points{
        {0.3, -0.2}, {1.1, 0.4}, {-0.7, 0.9}, {0.2, -1.3}, {-0.5, 0.1}};
    const std::size_t g = points.size();
    Matrix r(g, g);
    for (std::size_t i = 0; i < g; ++i) {
        for (std::size_t j = 0; j < g; ++j) {
            r(i, j) = points[i][0] * points[j][0] + points[i][1] * points[j][1];
        }
    }
    const EigenDecomposition eig = decompose(r);
    EXPECT_TRUE(eig.converged);
    EXPECT_EQ(eig.nonZeroCount, 2);
    EXPECT_GT(eig.centredMatrix(0, 0), 5E-07);
    EXPECT_GT(eig.centredMatrix(1, 1), 5E-07);
    auto coordinate = [&](std::size_t i, std::size_t k) {
        return std::sqrt(eig.centredMatrix(k, k)) * eig.eigenvectors(i, k);
    };
    for (std::size_t i = 0; i < g; ++i) {
        for (std::size_t j = 0; j < g; ++j) {
            const double dx = points[i][0] - points[j][0];
            const double dy = points[i][1] - points[j][1];
            const double cx = coordinate(i, 0) - coordinate(j, 0);
            const double cy = coordinate(i, 1) - coordinate(j, 1);
            EXPECT_NEAR(cx * cx + cy * cy, dx * dx + dy * dy, 1e-12);
        }
    }
}

TEST(EigenOrder, SortsLargestFirstAndKeepsEqualValuesInDiagonalOrder)
{
    // diagonal 1, 5, -3, 5; column k of the eigenvectors holds k + 1 in every row, so a moved
    // column shows where it came from
    EigenDecomposition eig;
    eig.centredMatrix = fromRows({{1, 0.5, 0, 0}, {9, 5, 0, 0}, {0, 0, -3, 0}, {0, 0, 0, 5}});
    eig.eigenvectors = Matrix(4, 4);
    for (std::size_t i = 0; i < 4; ++i) {
        for (std::size_t k = 0; k < 4; ++k) {
            eig.eigenvectors(i, k) = static_cast<double>(k + 1);
        }
    }
    orderByEigenvalue(eig);
    const std::vector<double> lambda{5, 5, 1, -3};
    const std::vector<double> from{2, 4, 1, 3}; // the first 5 stays before the second
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(eig.centredMatrix(k, k), lambda[k]) << "position " << k;
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(eig.eigenvectors(i, k), from[k]) << "row " << i << ", column " << k;
        }
    }
    EXPECT_EQ(eig.centredMatrix(0, 1), 0.5); // off the diagonal nothing moves
    EXPECT_EQ(eig.centredMatrix(1, 0), 9.0);
}

} // namespace
} // namespace tavrik
