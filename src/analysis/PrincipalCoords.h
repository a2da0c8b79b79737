// The principal coordinates section of the report: eigenvalues, shares of variation, the
// first two scaled eigenvectors, and the 20 x 20 character-cell plot with its legend.
#pragma once

#include "analysis/Eigen.h"
#include "report/ReportWriter.h"
#include "state/Matrix.h"

#include <string>
#include <vector>

namespace tavrik {

// pass 1: the R matrix; pass 2: the scaled R matrix. Scales eig.eigenvectors in place and
// stores the two coordinates of every population in scores (g x 2, allocated by the caller).
// shares, when given, receives the percent of variation of axes I and II exactly as the
// section prints them before rounding, or is emptied when no eigenvalue is listed.
void writePrincipalCoordsSection(ReportWriter& out,
                                 int pass,
                                 EigenDecomposition& eig,
                                 const std::vector<std::string>& populationNames,
                                 Matrix& scores,
                                 std::vector<double>* shares = nullptr);

} // namespace tavrik
