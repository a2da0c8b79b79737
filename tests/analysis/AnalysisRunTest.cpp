// Whole runs over small data files: hand-worked results, progress lines, the matrix count
// and scaled analysis rules, every failure with its message, and installing a run's output.
#include "analysis/AnalysisRun.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "RunTestSupport.h"

namespace tavrik {
namespace {

using test::dataFile;
using test::RecordingProgress;
using test::run;

constexpr double closeTolerance = 1e-12;

RunInput
makeInput(const std::string& file, std::vector<std::int16_t> pops, std::vector<std::int16_t> vars)
{
    RunInput in;
    in.dataSet.dataPath = dataFile(file);
    in.dataSet.popCount = static_cast<std::int16_t>(pops.size());
    in.dataSet.varCount = static_cast<std::int16_t>(vars.size());
    in.selection.popSelected.assign(pops.begin(), pops.end());
    in.selection.varSelected.assign(vars.begin(), vars.end());
    return in;
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// West: 0, 2; East: 4, 6 (Far and the Weight variable are not chosen). Standardized, the
// populations lie at -d and +d with d^2 = 0.6 and pooled variance 0.3, so Q = +-2,
// Fst = 2 / (2 + 2) = 0.5, r = Q (1 - 0.5) / 2 = +-0.5.
TEST(WholeRun, MirrorPairWithoutCorrection)
{
    RunInput in = makeInput("run_mirror.tvk", {1, 1, 0}, {1, 0});
    in.settings.biasCorrection = false;
    RecordingProgress progress;
    auto out = run(in, progress);
    ASSERT_TRUE(out.ok()) << out.error().message;
    EXPECT_EQ(progress.lines,
              (std::vector<std::string>{"...computing...",
                                        "...pass 1 of 2, cases read = 6 ...",
                                        "...computing...",
                                        "...pass 2 of 2, cases read = 6 ...",
                                        "...computing...",
                                        "...inverting matrix...",
                                        "...computing matrices...",
                                        "...performing PCA...",
                                        "...writing matrices to file..."}));
    const AnalysisResults& r = out->results;
    ASSERT_EQ(r.rMatrix.rows(), 2u);
    EXPECT_NEAR(r.rMatrix(0, 0), 0.5, closeTolerance);
    EXPECT_NEAR(r.rMatrix(0, 1), -0.5, closeTolerance);
    EXPECT_NEAR(r.rMatrix(1, 1), 0.5, closeTolerance);
    EXPECT_NEAR(r.dSquare(0, 1), 2.0, closeTolerance);
    EXPECT_EQ(r.populationNames, (std::vector<std::string>{"West", "East"}));
    EXPECT_NEAR(r.observedVariance[0], 0.3, closeTolerance);
    EXPECT_NEAR(r.expectedVariance[1], 0.3, closeTolerance);
    EXPECT_EQ(out->matrixCount, 1); // every population of the file has size 100
    EXPECT_EQ(r.scaledPcScores, Matrix(2, 2));
    EXPECT_EQ(r.pcScores.rows(), 2u);

    const std::string& rep = out->report;
    EXPECT_TRUE(contains(rep, "All populations are equally weighted\r\n"));
    // se(Fst) = sqrt(0.5^3 * 2 * (2 * 0.25 * 0.5 / 2))
    EXPECT_TRUE(contains(rep, "\r\n            Fst = 0.500000\r\n             se = 0.176777\r\n"));
    EXPECT_TRUE(contains(out->matrixFile,
                         "West" + std::string(11, ' ') + "East" + std::string(11, ' ') +
                             " 2.000000  (1.414214)\r\n"));
}

TEST(WholeRun, MirrorPairWithCorrectionSubtractsOneOverTwoN)
{
    auto out = run(makeInput("run_mirror.tvk", {1, 1, 0}, {1, 0}));
    ASSERT_TRUE(out.ok()) << out.error().message;
    const AnalysisResults& r = out->results;
    EXPECT_NEAR(r.rMatrix(0, 0), 0.25, closeTolerance);
    EXPECT_NEAR(r.rMatrix(0, 1), -0.5, closeTolerance);
    EXPECT_NEAR(r.dSquare(0, 1), 1.5, closeTolerance);
    EXPECT_TRUE(contains(out->report, "   Unbiased Fst = 0.250000\r\n"));
    EXPECT_TRUE(contains(out->report, "All further analyses are based on the unbiased R matrix"));
}

TEST(ScaledAnalysis, RunsOnlyWhenRequestedAndTheFileSizesDiffer)
{
    RunInput in = makeInput("run_weighted.tvk", {1, 1, 1}, {1, 1});
    in.settings.scaledAnalysis = true;
    RecordingProgress progress;
    auto out = run(in, progress);
    ASSERT_TRUE(out.ok()) << out.error().message;
    EXPECT_EQ(out->matrixCount, 2);
    const AnalysisResults& r = out->results;
    ASSERT_EQ(r.scaledRMatrix.rows(), 3u);
    // weights 0.2, 0.4, 0.4: R*(1,2) = 3 sqrt(0.08) R(1,2), R*(2,3) = 3 * 0.4 R(2,3)
    EXPECT_NEAR(r.scaledRMatrix(0, 1), 3 * std::sqrt(0.08) * r.rMatrix(0, 1), closeTolerance);
    EXPECT_NEAR(r.scaledRMatrix(1, 2), 1.2 * r.rMatrix(1, 2), closeTolerance);
    EXPECT_TRUE(contains(out->matrixFile, "D-Square Matrix Based on Scaled R Matrix:"));
    EXPECT_TRUE(contains(out->report, "Weight\r\n"));
    EXPECT_EQ(progress.lines.at(progress.lines.size() - 2),
              "...performing PCA on scaled matrix...");

    in.settings.scaledAnalysis = false;
    auto single = run(in);
    ASSERT_TRUE(single.ok());
    EXPECT_EQ(single->matrixCount, 1);
    EXPECT_FALSE(contains(single->matrixFile, "Scaled"));
    EXPECT_TRUE(contains(single->report, "Weight\r\n")); // the file's sizes still differ
    EXPECT_EQ(single->results.scaledPcScores, Matrix(3, 2));
}

TEST(RunOutputInstall, KeepsPreviousScaledMatricesAfterARunWithoutThem)
{
    RunInput in = makeInput("run_weighted.tvk", {1, 1, 1}, {1, 1});
    in.settings.scaledAnalysis = true;
    in.settings.showMatrices = true;
    ProgramState state;
    state.askSaveName = false;
    auto first = run(in);
    ASSERT_TRUE(first.ok());
    applyRunOutput(state, std::move(first).value());
    const Matrix scaled = state.results.scaledRMatrix;
    ASSERT_EQ(scaled.rows(), 3u);
    EXPECT_EQ(state.matrixCount, 2);
    EXPECT_TRUE(state.askSaveName);
    EXPECT_TRUE(state.outputFitsScreen);
    EXPECT_TRUE(state.settings.showMatrices);
    EXPECT_TRUE(contains(state.matrixFile, "R Matrix:"));

    in.settings.scaledAnalysis = false;
    in.selection.popSelected = {1, 1, 0};
    auto second = run(in);
    ASSERT_TRUE(second.ok());
    state.askSaveName = false;
    applyRunOutput(state, std::move(second).value());
    EXPECT_EQ(state.matrixCount, 1);
    EXPECT_EQ(state.results.scaledRMatrix, scaled);
    EXPECT_EQ(state.results.rMatrix.rows(), 2u);
    EXPECT_EQ(state.results.scaledPcScores, Matrix(2, 2));
    EXPECT_TRUE(state.askSaveName);
}

TEST(RunFailure, StopsWithAMessageThatSaysWhere)
{
    const struct
    {
        const char* file;
        std::vector<std::int16_t> pops;
        std::vector<std::int16_t> vars;
        ErrorKind kind;
        const char* messagePart;
        float heritability = 1.0f;
    } cases[] = {
        {"run_one_record.tvk",
         {1, 1, 0},
         {1},
         ErrorKind::Analysis,
         "Population \"Lone\" has only one record"},
        {"run_one_record.tvk", {1, 0, 1}, {1}, ErrorKind::Analysis, "Population \"Ghost\" has no"},
        {"run_shared_code.tvk",
         {1, 1, 1},
         {1},
         ErrorKind::Analysis,
         "Population \"Early\" has no records of its own: it shares code 2 with population "
         "\"Late\", which comes later in the data file"},
        {"run_census_zero.tvk",
         {1, 1, 0},
         {1},
         ErrorKind::Analysis,
         "The chosen populations have a total census size of 0"},
        {"run_header_only.tvk", {1, 1}, {1}, ErrorKind::Analysis, "holds 0 record(s) of the"},
        {"run_constant_variable.tvk", {1, 1}, {1, 1}, ErrorKind::Analysis, "\"Flat\" has no"},
        {"run_singular.tvk", {1, 1}, {1, 1}, ErrorKind::Analysis, "Matrix could not be inverted"},
        {"run_mirror.tvk", {1, 1, 0}, {1, 0}, ErrorKind::Analysis, "could not be inverted", 0.0f},
        {"run_short_record.tvk", {1, 1}, {1, 1}, ErrorKind::DataFile, "run_short_record.tvk"},
        {"run_bad_field.tvk", {1, 1}, {1, 1}, ErrorKind::DataFile, "run_bad_field.tvk"},
        {"run_missing.tvk", {1, 1}, {1}, ErrorKind::DataFile, "run_missing.tvk"},
        {"run_mirror.tvk", {1, 1}, {1, 0}, ErrorKind::DataFile, "has changed since it was opened"},
        {"run_mirror.tvk", {1, 1, 0}, {1}, ErrorKind::DataFile, "has changed since it was opened"},
        {"run_mirror.tvk", {0, 1, 0}, {1, 0}, ErrorKind::Usage, "at least two populations"},
        {"run_mirror.tvk", {1, 1, 0}, {0, 0}, ErrorKind::Usage, "at least one variable"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + ": " + c.messagePart);
        RunInput in = makeInput(c.file, c.pops, c.vars);
        in.settings.heritability = c.heritability;
        auto out = run(in);
        ASSERT_FALSE(out.ok());
        EXPECT_EQ(out.error().kind, c.kind) << out.error().message;
        EXPECT_TRUE(contains(out.error().message, c.messagePart)) << out.error().message;
    }
}

// With the total of 5 chosen, the run goes through even though North's size is 0. Its weight 0
// puts the centroid on East (169.5 and 171.0, mean 170.25, variance 1.125), which alone makes
// the pooled variance; North lies 1 below (168.0 and 170.5): Q = 1 / 1.125 for North and 0 for
// East, so Fst = 0 and r(North) = Q / 2 = 4/9.
TEST(WholeRun, ZeroSizesAreAcceptedWhenTheTotalIsNot)
{
    RunInput in = makeInput("run_census_zero.tvk", {1, 0, 1}, {1});
    in.settings.biasCorrection = false;
    auto out = run(in);
    ASSERT_TRUE(out.ok()) << out.error().message;
    const AnalysisResults& r = out->results;
    ASSERT_EQ(r.rMatrix.rows(), 2u);
    EXPECT_NEAR(r.rMatrix(0, 0), 4.0 / 9.0, closeTolerance);
    EXPECT_NEAR(r.rMatrix(0, 1), 0.0, closeTolerance);
    EXPECT_NEAR(r.rMatrix(1, 1), 0.0, closeTolerance);
    EXPECT_NEAR(r.dSquare(0, 1), 4.0 / 9.0, closeTolerance);
    EXPECT_TRUE(contains(out->report, "            Fst = 0.000000\r\n"));
}

// The later of two populations sharing a code takes its records; chosen alone, the earlier
// one simply has none.
TEST(WholeRun, SharedCodeGoesToTheLaterPopulation)
{
    auto both = run(makeInput("run_shared_code.tvk", {0, 1, 1}, {1}));
    ASSERT_TRUE(both.ok()) << both.error().message;
    EXPECT_TRUE(contains(both->report, "Late            3"));
    auto early = run(makeInput("run_shared_code.tvk", {1, 1, 0}, {1}));
    ASSERT_TRUE(early.ok()) << early.error().message;
    EXPECT_TRUE(contains(early->report, "Early           3"));
}

} // namespace
} // namespace tavrik
