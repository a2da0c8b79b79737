#include "analysis/ScaledMatrix.h"

#include <cmath>

namespace tavrik {

// Indices are 0-based.
ScaledMatrices
computeScaledMatrices(const Matrix& r, const std::vector<double>& popWeights, bool biasCorrection)
{
    const std::size_t g = r.rows();
    const auto gd = static_cast<double>(g);
    ScaledMatrices out{Matrix(g, g), Matrix(g, g)};
    Matrix& rs = out.scaledRMatrix;
    Matrix& ds = out.scaledDSquare;
    for (std::size_t i = 0; i < g; ++i) {
        for (std::size_t j = 0; j < g; ++j) {
            // ((g * sqrt(w(i))) * sqrt(w(j))) * R(i,j), in that order
            rs(i, j) = gd * std::sqrt(popWeights[i]) * std::sqrt(popWeights[j]) * r(i, j);
        }
    }
    for (std::size_t i = 0; i + 1 < g; ++i) {
        for (std::size_t j = i; j < g; ++j) {
            double d = rs(j, j) + rs(i, i) - 2.0 * rs(i, j);
            if (d < 0.0 && biasCorrection) {
                d = 0.0;
            }
            ds(i, j) = d;
            ds(j, i) = d;
        }
    }
    return out;
}

} // namespace tavrik
