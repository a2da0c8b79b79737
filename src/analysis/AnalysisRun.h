// One analysis run as a function: from the data file, the settings and the selection to the
// report, the matrix listing and the results, or an error that changes nothing.
#pragma once

#include "analysis/ProgressSink.h"
#include "report/Clock.h"
#include "state/ProgramState.h"
#include "state/Result.h"

#include <cstdint>
#include <string>

namespace tavrik {

inline constexpr std::size_t outputSizeLimit = 24000; // bytes of report plus listing

struct RunInput
{
    DataSet dataSet; // as loaded by File Open: dataPath and the counts the selection was sized for
    AnalysisSettings settings;
    Selection selection;
};

struct RunOutput
{
    DataSet dataSet;         // the header as re-read by the run (equalSizes kept)
    std::string report;      // the ReportFile text, CR LF lines
    std::string matrixFile;  // the matrix listing, CR LF lines
    std::string screenText;  // what replaces the text box
    AnalysisResults results; // scaled matrices only meaningful when matrixCount == 2
    std::int16_t matrixCount = 1;
    std::int16_t outputFitsScreen = 0;
    std::int16_t showMatrices = 0;   // possibly cleared by the size rule
    bool warnOutputTooLarge = false; // show the "Warning!" box
};

[[nodiscard]] Result<RunOutput>
runAnalysis(const RunInput& input, const Clock& clock, ProgressSink& progress);

// Installs a finished run into the state: header fields, results (the previous scaled
// matrices survive a run with matrixCount 1), flags, the listing; askSaveName = 1.
void applyRunOutput(ProgramState& state, RunOutput&& output);

} // namespace tavrik
