// Double centring of an R-type matrix and the Jacobi eigen solver of the principal
// coordinates analysis.
#pragma once

#include "analysis/ProgressSink.h"
#include "state/Matrix.h"

#include <string_view>

namespace tavrik {

struct EigenDecomposition
{
    Matrix centredMatrix;   // g x g; after convergence its diagonal holds the eigenvalues
    Matrix eigenvectors;    // g x g; column k belongs to the eigenvalue at diagonal position k
    int nonZeroCount = 0;   // diagonal values above 5E-07
    bool converged = true;  // false only if the rotation cap was hit (non-finite input)
    bool cancelled = false; // the progress sink asked to stop; nothing else is meaningful
    long rotationCount = 0; // Jacobi rotations performed
};

// a: the g x g input matrix (R or scaled R), read only. g >= 2. Double centring, the Jacobi
// solver, then the eigenvalues ordered largest first (orderByEigenvalue). An input that is not
// finite is not iterated on (converged = false); neither it nor a cancelled run is ordered.
// With a progress sink the solver asks it every 1024 rotations whether to stop, and for a
// large matrix shows statusLine followed by the rotations done now and then.
EigenDecomposition
decompose(const Matrix& a, ProgressSink* progress = nullptr, std::string_view statusLine = {});

// The two stages on their own. doubleCentre turns an R-type matrix into minus one half of the
// double-centred squared distances. solveJacobi diagonalises a symmetric matrix in place, reading
// only its upper triangle and diagonal; the lower triangle is returned as it came in.
Matrix doubleCentre(const Matrix& a);
EigenDecomposition
solveJacobi(Matrix symmetric, ProgressSink* progress = nullptr, std::string_view statusLine = {});

// Moves the eigenvalues on the diagonal of a converged decomposition into decreasing order,
// and the eigenvector columns with them. Equal eigenvalues keep their diagonal order (a stable
// sort). Only the diagonal of centredMatrix moves; its other elements are left as they are.
void orderByEigenvalue(EigenDecomposition& eig);

} // namespace tavrik
