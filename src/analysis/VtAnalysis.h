// The Velbrand-Torvane comparison of each population's observed within-group phenotypic
// variance with the variance expected from its r(ii) and Fst, and its report section.
#pragma once

#include "report/ReportWriter.h"
#include "state/Matrix.h"

#include <string>
#include <vector>

namespace tavrik {

struct VtValues
{
    std::vector<double> expectedVariance;
    std::vector<double> residualVariance;
};

// r: the R matrix after the sampling-bias correction; fstUnbiased to match it.
VtValues computeVt(const std::vector<double>& observedVariance,
                   double meanWithinVariance,
                   const Matrix& r,
                   double fstUnbiased);

void writeVtSection(ReportWriter& out,
                    const std::vector<std::string>& populationNames,
                    const Matrix& r,
                    const std::vector<double>& observedVariance,
                    const VtValues& vt,
                    double meanWithinVariance);

} // namespace tavrik
