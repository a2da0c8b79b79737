// CSV texts of the last run's principal coordinate scores and Velbrand-Torvane results.
// Every line ends in CR LF; a name holding a comma, a quote or a line break is quoted
// (ExportNames.h), every other name written as stored.
#pragma once

#include "state/Matrix.h"
#include "state/ProgramState.h"

#include <string>
#include <vector>

namespace tavrik {

// scores: g x 2 (first and second coordinate), from pcScores or scaledPcScores; names: the g
// population names in selection order.
std::string scoresCsvText(const Matrix& scores, const std::vector<std::string>& names);

// One line per population: name, r(ii) from rMatrix's diagonal, then the observed, expected
// and residual within-group variances.
std::string velbrandTorvaneCsvText(const AnalysisResults& results);

} // namespace tavrik
