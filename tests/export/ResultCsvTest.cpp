#include "export/ResultCsv.h"

#include <gtest/gtest.h>

namespace tavrik {
namespace {

TEST(ScoresCsv, WritesFourDecimalsWithABlankInPlaceOfThePlusSign)
{
    Matrix scores(2, 2);
    scores(0, 0) = 0.12346;
    scores(0, 1) = -0.00004; // rounds to zero from below
    scores(1, 0) = -1.5;
    scores(1, 1) = 2.0;
    EXPECT_EQ(scoresCsvText(scores, {"Lake Ånd", "B"}),
              "Population,PC1,PC2\r\n"
              "Lake Ånd, 0.1235,-0.0000\r\n"
              "B,-1.5000, 2.0000\r\n");
}

TEST(VelbrandTorvaneCsv, WritesDiagonalAndVariancesWithoutLeadingBlanks)
{
    AnalysisResults results;
    results.populationNames = {"A", "B", "C"};
    results.rMatrix = Matrix(3, 3, 0.5); // off-diagonal values must not appear
    results.rMatrix(0, 0) = 0.0321;
    results.rMatrix(1, 1) = 0.0; // set to zero by the bias correction
    results.rMatrix(2, 2) = 0.1234567;
    results.observedVariance = {1.23456, 0.8, 12.0};
    results.expectedVariance = {0.9, 1.25, 10.0004};
    results.residualVariance = {0.33456, -0.45, -0.0002};
    EXPECT_EQ(velbrandTorvaneCsvText(results),
              "Population,r[ii],ObsVar,ExpVar,ResVar\r\n"
              "A,0.032100,1.235,0.900,0.335\r\n"
              "B,0.000000,0.800,1.250,-0.450\r\n"
              "C,0.123457,12.000,10.000,-0.000\r\n");
}

} // namespace
} // namespace tavrik
