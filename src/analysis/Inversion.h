// Gauss-Jordan inversion of the heritability-scaled pooled covariance matrix, with row
// interchanges chosen by a fixed absolute threshold.
#pragma once

#include "state/Matrix.h"
#include "state/Result.h"

namespace tavrik {

// Pivot candidates below this magnitude count as zero. Absolute, not relative: the matrix
// comes from standardized variables, so its entries are of the order of 1.
inline constexpr double pivotTolerance = 1E-10;

// Returns the inverse of the square matrix a, or Error{Analysis, "Matrix could not be
// inverted"} when a column has no usable pivot.
[[nodiscard]] Result<Matrix> invertMatrix(Matrix a);

} // namespace tavrik
