#include "export/ResultCsv.h"

#include "export/ExportNames.h"
#include "report/NumberFormat.h"

#include <cassert>

// Populations count from 0 here, in selection order.

namespace tavrik {

std::string scoresCsvText(const Matrix& scores, const std::vector<std::string>& names)
{
    assert(scores.rows() == names.size() && scores.cols() >= 2);
    std::string out = "Population,PC1,PC2\r\n";
    for (std::size_t i = 0; i < names.size(); ++i) {
        // The blank before a non-negative score keeps both signs at one width.
        out.append(commaFileName(names[i])).append(",");
        out.append(formatNumber(scores(i, 0), " 0.0000;-0.0000")).append(",");
        out.append(formatNumber(scores(i, 1), " 0.0000;-0.0000")).append("\r\n");
    }
    return out;
}

std::string velbrandTorvaneCsvText(const AnalysisResults& results)
{
    const std::vector<std::string>& names = results.populationNames;
    const std::size_t g = names.size();
    assert(results.rMatrix.rows() == g && results.rMatrix.cols() == g);
    assert(results.observedVariance.size() == g && results.expectedVariance.size() == g &&
           results.residualVariance.size() == g);
    std::string out = "Population,r[ii],ObsVar,ExpVar,ResVar\r\n";
    for (std::size_t i = 0; i < g; ++i) {
        out.append(commaFileName(names[i])).append(",");
        out.append(formatNumber(results.rMatrix(i, i), "0.000000")).append(",");
        out.append(formatNumber(results.observedVariance[i], "0.000")).append(",");
        out.append(formatNumber(results.expectedVariance[i], "0.000")).append(",");
        out.append(formatNumber(results.residualVariance[i], "0.000;-0.000")).append("\r\n");
    }
    return out;
}

} // namespace tavrik
