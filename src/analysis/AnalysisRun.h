// One analysis run as a function: from the data file, the settings and the selection to the
// report, the matrix listing and the results, or an error that changes nothing.
#pragma once

#include "analysis/DataPasses.h"
#include "analysis/ProgressSink.h"
#include "datafile/DataFileReader.h"
#include "datafile/InputFile.h"
#include "report/Clock.h"
#include "state/ProgramState.h"
#include "state/Result.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tavrik {

inline constexpr std::size_t outputSizeLimit = 24000; // bytes of report plus listing

struct RunInput
{
    DataSet dataSet; // as loaded by File Open: dataPath and the counts the selection was sized for
    AnalysisSettings settings;
    Selection selection;
    // Memory the run may plan for, in bytes; 0: the computer's physical memory.
    std::uint64_t memoryBytes = 0;
    // Bytes the first pass may use to keep the records for the second, which then does not
    // read the file again; 0 reads the file twice. Unset: defaultMemoryBudget().
    std::optional<std::uint64_t> memoryBudget = {};
    // Threads that turn the data file's text into numbers; 1 is the plain sequential reader,
    // 0 every core of the computer.
    unsigned threads = 0;
    // Bytes of text per block handed to a thread; 0: the reader's default. Tests use tiny
    // blocks so that blocks end everywhere.
    std::size_t readBlockBytes = 0;
    // Called once between the two passes over the data file, when the first has closed it.
    // Tests change the file here; the run must notice.
    std::function<void()> betweenPasses = {};
};

// What the further analyses of a finished run start from: the chosen populations and
// variables, the passes' statistics, and the run's own Fst values and analytic standard errors
// at full precision.
struct RunBasis
{
    PassSetup setup;
    PassResults passes;
    std::vector<float> popSizes; // census sizes of the chosen populations
    float heritability = 1.0f;
    bool biasCorrection = true;
    bool scaledAnalysis = false; // asked for; RunOutput::matrixCount says whether it was made
    std::string dataTitle;
    // The data file as the run read it: a later read of its records (the bootstrap) must
    // find the very same file.
    FileStamp dataStamp;
    double fst = 0.0;
    double fstUnbiased = 0.0;
    double fstSe = 0.0;
    std::vector<double> uncorrectedDiagonal; // r(ii) before the sampling-bias correction
    std::vector<double> seDiagonal;
    Matrix seR;       // filled for i < j
    Matrix seDSquare; // filled for i < j
};

struct RunOutput
{
    DataSet dataSet;         // the header as re-read by the run (equalSizes kept)
    std::string report;      // the ReportFile text, CR LF lines
    std::string matrixFile;  // the matrix listing, CR LF lines
    std::string screenText;  // what replaces the text box
    AnalysisResults results; // scaled matrices only meaningful when matrixCount == 2
    std::int16_t matrixCount = 1;
    bool outputFitsScreen = false;
    bool showMatrices = false;       // possibly cleared by the size rule
    bool warnOutputTooLarge = false; // show the "Warning!" box
    RunBasis basis;
};

// The message of a run whose data file changed between or during its two passes.
inline constexpr const char* dataFileChangedMessage =
    "The data file changed while it was being analysed; run the analysis again";

Error dataFileChanged(const std::string& dataPath);

// Opens the data file a run read for another pass over it; fails with dataFileChanged when
// the file is no longer the one the run read.
[[nodiscard]] Result<DataFileReader> reopenRunFile(const DataSet& dataSet, const FileStamp& stamp);

[[nodiscard]] Result<RunOutput>
runAnalysis(const RunInput& input, const Clock& clock, ProgressSink& progress);

// Installs a finished run into the state: header fields, results (the previous scaled
// matrices survive a run with matrixCount 1), flags, the listing; askSaveName = 1.
void applyRunOutput(ProgramState& state, RunOutput&& output);

} // namespace tavrik
