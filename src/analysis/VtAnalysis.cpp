#include "analysis/VtAnalysis.h"

#include "report/NumberFormat.h"

namespace tavrik {

// Populations are 0-based here; report columns are 1-based.

VtValues computeVt(const std::vector<double>& observedVariance,
                   double meanWithinVariance,
                   const Matrix& r,
                   double fstUnbiased)
{
    const std::size_t g = observedVariance.size();
    VtValues vt;
    vt.expectedVariance.resize(g);
    vt.residualVariance.resize(g);
    for (std::size_t i = 0; i < g; ++i) {
        vt.expectedVariance[i] = meanWithinVariance * (1.0 - r(i, i)) / (1.0 - fstUnbiased);
        vt.residualVariance[i] = observedVariance[i] - vt.expectedVariance[i];
    }
    return vt;
}

void writeVtSection(ReportWriter& out,
                    const std::vector<std::string>& populationNames,
                    const Matrix& r,
                    const std::vector<double>& observedVariance,
                    const VtValues& vt,
                    double meanWithinVariance)
{
    out.text("Velbrand-Torvane Analysis:").endLine();
    out.endLine();
    out.text("Mean Within-group Phenotypic Variance = ")
        .text(formatNumber(meanWithinVariance, "0.000"))
        .endLine();
    out.endLine();
    out.tab(27).text("Within-group Phenotypic Variance").endLine();
    out.tab(27).text("--------------------------------").endLine();
    out.text("Population")
        .tab(18)
        .text("r(ii)")
        .tab(28)
        .text("Observed")
        .tab(39)
        .text("Expected")
        .tab(50)
        .text("Residual")
        .endLine();
    out.endLine();
    for (std::size_t i = 0; i < populationNames.size(); ++i) {
        out.text(populationNames[i])
            .tab(16)
            .text(formatNumber(r(i, i), "0.000000"))
            .tab(30)
            .text(formatNumber(observedVariance[i], "0.000"))
            .tab(41)
            .text(formatNumber(vt.expectedVariance[i], "0.000"))
            .tab(51)
            .text(formatNumber(vt.residualVariance[i], " 0.000;-0.000"))
            .endLine();
    }
    // 1 - r(ii) < 0 makes E(i) negative: say so rather than print it as a variance
    bool noted = false;
    for (std::size_t i = 0; i < populationNames.size(); ++i) {
        if (r(i, i) > 1.0) {
            if (!noted) {
                out.endLine();
                noted = true;
            }
            out.text("Note: r(ii) of " + populationNames[i] +
                     " is above 1, so its expected variance is below zero and not meaningful")
                .endLine();
        }
    }
    out.endLine();
    out.endLine();
}

} // namespace tavrik
