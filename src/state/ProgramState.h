// The program's state record: the open data set, the analysis settings, the selection for
// the next run, the results of the last run and the flags that steer menus and saving.
// One ProgramState is owned by the main window (or by the batch program) and passed by
// reference to everything that reads or writes it. Arrays are 0-based.
#pragma once

#include "state/Matrix.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tavrik {

struct DataSet
{
    std::string dataPath; // full path of the open data file
    std::int16_t popCount = 0;
    std::int16_t varCount = 0;
    std::vector<std::string> popNames; // file order, UTF-8
    std::vector<std::string> varNames; // file order, UTF-8
    std::int16_t equalSizes = 0;       // 1 when every population carries the same size
};

struct AnalysisSettings
{
    float heritability = 1.0f; // deliberately 32-bit: the matrix inverted is h2 * pooled cov
    std::int16_t biasCorrection = 1;
    std::int16_t scaledAnalysis = 0;
    std::int16_t showMatrices = 0;
};

struct Selection
{
    std::vector<std::int16_t> popSelected; // one flag per file population
    std::vector<std::int16_t> varSelected; // one flag per file variable
    std::int16_t selPopCount = 0;          // g
    std::int16_t selVarCount = 0;          // t
};

struct AnalysisResults
{
    Matrix rMatrix;        // g x g, after the sampling-bias correction when requested
    Matrix dSquare;        // g x g
    Matrix scaledRMatrix;  // g x g, only from a run with matrixCount 2
    Matrix scaledDSquare;  // g x g, only from a run with matrixCount 2
    Matrix pcScores;       // g x 2
    Matrix scaledPcScores; // g x 2, zero unless the run had a scaled pass
    // Percent of the variation on axes I and II, as the report's share lines compute them;
    // empty when the pass listed no non-zero eigenvalue (or, for the scaled one, had no pass).
    std::vector<double> pcShares;
    std::vector<double> scaledPcShares;
    // Every eigenvalue of the double-centred matrix, largest first; the report lists the first
    // eigenvaluesListed of them (those above 5E-07). Empty for a pass the run did not make.
    std::vector<double> eigenvalues;
    std::vector<double> scaledEigenvalues;
    std::int16_t eigenvaluesListed = 0;
    std::int16_t scaledEigenvaluesListed = 0;
    std::vector<std::string> populationNames; // chosen populations, file order
    std::vector<double> observedVariance;
    std::vector<double> expectedVariance;
    std::vector<double> residualVariance;
};

struct ProgramState
{
    DataSet dataSet;
    AnalysisSettings settings;
    Selection selection;
    AnalysisResults results;

    std::int16_t matrixCount = 2;      // 2: R and scaled R analysed; 1: R only
    std::int16_t outputFitsScreen = 0; // report plus listing under the on-screen limit
    std::int16_t askSaveName = 0;      // the next Save Output asks for a file name
    std::string outputFileName;        // where Save Output last wrote
    std::string matrixFile;            // the last run's matrix listing (CR LF lines)
    std::string helpPath;              // the HTML user guide
};

} // namespace tavrik
