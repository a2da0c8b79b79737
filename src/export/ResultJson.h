// The results of a run as one JSON document (docs/tavrik-results.schema.json describes it):
// the settings, the populations and variables, the R and D-square matrices with their
// standard errors, Fst, the Velbrand-Torvane values, the principal coordinates of R and of the
// scaled R matrix, and the heritability sweep and bootstrap when they were made for this run.
#pragma once

#include "analysis/AnalysisRun.h"
#include "analysis/Bootstrap.h"
#include "analysis/HeritabilitySweep.h"
#include "analysis/Mantel.h"
#include "state/ProgramState.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tavrik {

inline constexpr std::string_view jsonFileFilter = "JSON Files (*.JSON)";

// One finished run. dataSet, basis, results and matrixCount come from the same run; sweep,
// bootstrap and mantel, when given, were computed from it.
struct JsonRun
{
    const DataSet& dataSet;
    const RunBasis& basis;
    const AnalysisResults& results;
    std::int16_t matrixCount = 1; // 2: the run analysed the scaled R matrix
    const SweepTable* sweep = nullptr;
    const BootstrapResult* bootstrap = nullptr;
    const MantelResult* mantel = nullptr;
};

// The document, indented by two blanks, lines ending in LF. Every double is written in the
// shortest form that reads back to the same double, and a value that is not finite as null.
// The heritability and the census sizes, 32-bit floats, are written in the shortest form that
// reads back to the same float (0.55, not 0.550000011920929).
std::string resultJsonText(const JsonRun& run);

} // namespace tavrik
