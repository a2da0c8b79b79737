// Double centring of an R-type matrix and the Jacobi eigen solver of the principal
// coordinates analysis.
#pragma once

#include "state/Matrix.h"

namespace tavrik {

struct EigenDecomposition
{
    Matrix centredMatrix; // g x g; after convergence its diagonal holds the eigenvalues
    Matrix eigenvectors;  // g x g; column k belongs to the eigenvalue at diagonal position k
    int nonZeroCount = 0; // diagonal values above 5E-07
    bool converged = true; // false only if the rotation cap was hit (non-finite input)
};

// a: the g x g input matrix (R or scaled R), read only. g >= 2.
EigenDecomposition decompose(const Matrix& a);

} // namespace tavrik
