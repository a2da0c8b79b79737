// The R matrix scaled by the square roots of the population weights and by the number of
// populations, and the D-square matrix derived from it.
#pragma once

#include "state/Matrix.h"

#include <vector>

namespace tavrik {

struct ScaledMatrices
{
    Matrix scaledRMatrix; // g x g
    Matrix scaledDSquare; // g x g, symmetric, zero diagonal
};

// r: the R matrix after the sampling-bias correction. A negative scaled distance is set to 0
// only with the correction on.
ScaledMatrices
computeScaledMatrices(const Matrix& r, const std::vector<double>& popWeights, bool biasCorrection);

} // namespace tavrik
