// The program's state record: the open data set, the analysis settings, the selection for
// the next run, the results of the last run and the flags that steer menus and saving.
// One ProgramState is owned by the main window (or by the batch program) and passed by
// reference to everything that reads or writes it. Arrays are 0-based.
#pragma once

#include "state/Matrix.h"

#include <algorithm>
#include <cstdint>
#include <memory>
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
    bool equalSizes = false;           // every population carries the same size
    // The data file's bytes when they are held in memory (a data set handed to the engine by a
    // program); dataPath then only names them. Null: the file at dataPath is read.
    std::shared_ptr<const std::string> heldText;
};

struct AnalysisSettings
{
    float heritability = 1.0f; // deliberately 32-bit: the matrix inverted is h2 * pooled cov
    bool biasCorrection = true;
    bool scaledAnalysis = false;
    bool showMatrices = false;
};

struct Selection
{
    std::vector<bool> popSelected; // one flag per file population
    std::vector<bool> varSelected; // one flag per file variable

    std::int16_t selPopCount() const { return countOf(popSelected); } // g
    std::int16_t selVarCount() const { return countOf(varSelected); } // t

private:
    static std::int16_t countOf(const std::vector<bool>& flags)
    {
        return static_cast<std::int16_t>(std::count(flags.begin(), flags.end(), true));
    }
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

    std::int16_t matrixCount = 2;  // 2: R and scaled R analysed; 1: R only
    bool outputFitsScreen = false; // report plus listing under the on-screen limit
    bool askSaveName = false;      // the next Save Output asks for a file name
    std::string outputFileName;    // where Save Output last wrote
    std::string matrixFile;        // the last run's matrix listing (CR LF lines)
    std::string helpPath;          // the HTML user guide
};

} // namespace tavrik
