// The analysis report up to and including the Fst lines: head, settings, variables,
// populations table and the table of R diagonals.
#pragma once

#include "analysis/RMatrix.h"
#include "report/Clock.h"
#include "report/ReportWriter.h"

#include <string>
#include <vector>

namespace tavrik {

struct ReportHeadData
{
    std::string dataPath;
    std::string dataTitle;
    long filePopCount = 0;
    long fileVarCount = 0;
    float heritability = 1.0f;
    bool biasCorrection = true;
    std::vector<std::string> varNames; // chosen, file order
    std::vector<std::string> popNames; // chosen, file order
    std::vector<double> sampleSizes;   // n(i)
    std::vector<float> popSizes;       // N(i) as the file gives it
    std::vector<double> popWeights;    // w(i)
    double totalSampleSize = 0.0;
    int matrixCount = 2;         // 1: every population of the file has the same size
    std::vector<double> leftOut; // per population: records missing a chosen variable
};

// rel: as computeRelationship left it (uncorrected diagonal, bias terms, standard errors of
// the diagonal). The clock is read twice: for the date, then for the time.
void writeReportHead(ReportWriter& out,
                     const ReportHeadData& head,
                     const Relationship& rel,
                     const Clock& clock);

void writeFstLines(ReportWriter& out, const Relationship& rel, bool biasCorrection);

} // namespace tavrik
