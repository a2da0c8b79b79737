// The analyses beyond a single run: the heritability sweep against single runs at each
// heritability, the range of heritabilities it generates, and the bootstrap against the
// generator's reference implementation (tools/bootstrap_reference.py wrote the replicate data
// files), thread counts, failing replicates and the memory budget; its intervals against R's
// boot.ci on the same replicate values (tools/reference/bca_reference.py wrote them).
#include "analysis/AnalysisRun.h"
#include "analysis/Bootstrap.h"
#include "analysis/HeritabilitySweep.h"
#include "export/ResamplingText.h"

#include <atomic>
#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "RunTestSupport.h"

namespace tavrik {
namespace {

using test::dataFile;
using test::run;

std::string highland()
{
    return std::string(TAVRIK_EXAMPLES) + "/highland.tvk";
}

// Every population and variable of the file.
RunInput allOf(const std::string& path, int pops, int vars)
{
    RunInput in;
    in.dataSet.dataPath = path;
    in.dataSet.popCount = static_cast<std::int16_t>(pops);
    in.dataSet.varCount = static_cast<std::int16_t>(vars);
    in.selection.popSelected.assign(static_cast<std::size_t>(pops), true);
    in.selection.varSelected.assign(static_cast<std::size_t>(vars), true);
    return in;
}

RunOutput mustRun(const RunInput& in)
{
    auto out = run(in);
    EXPECT_TRUE(out.ok()) << (out.ok() ? "" : out.error().message);
    return out.ok() ? std::move(*out) : RunOutput{};
}

std::vector<SweepPoint> range(const std::string& rangeText)
{
    auto points = heritabilityRange(rangeText);
    EXPECT_TRUE(points.ok()) << rangeText;
    return points.ok() ? *points : std::vector<SweepPoint>{};
}

std::vector<double> diagonal(const Matrix& m)
{
    std::vector<double> d;
    for (std::size_t i = 0; i < m.rows(); ++i) {
        d.push_back(m(i, i));
    }
    return d;
}

class SweepAgainstRuns : public ::testing::TestWithParam<bool>
{
};

TEST_P(SweepAgainstRuns, EveryRowEqualsASingleRunAtItsHeritabilityToTheLastBit)
{
    RunInput in = allOf(highland(), 6, 8);
    in.settings.biasCorrection = GetParam() ? 1 : 0;
    const RunOutput base = mustRun(in);
    const std::vector<SweepPoint> points = range("0.2:1:0.05");
    ASSERT_EQ(points.size(), 17u);
    auto table = heritabilitySweep(base.basis, points);
    ASSERT_TRUE(table.ok()) << table.error().message;
    ASSERT_EQ(table->rows.size(), points.size());
    for (const SweepRow& row : table->rows) {
        SCOPED_TRACE(row.point.text);
        RunInput single = in;
        single.settings.heritability = row.point.heritability;
        const RunOutput out = mustRun(single);
        EXPECT_EQ(row.fst, out.basis.fst);
        EXPECT_EQ(row.fstUnbiased, out.basis.fstUnbiased);
        EXPECT_EQ(row.fstSe, out.basis.fstSe);
        EXPECT_EQ(row.rDiagonal, diagonal(out.results.rMatrix));
    }
    // The last point is heritability 1, the default run itself.
    const SweepRow& last = table->rows.back();
    EXPECT_EQ(last.point.heritability, 1.0f);
    EXPECT_EQ(last.fst, base.basis.fst);
    EXPECT_EQ(last.fstUnbiased, base.basis.fstUnbiased);
    EXPECT_EQ(last.rDiagonal, diagonal(base.results.rMatrix));
}

INSTANTIATE_TEST_SUITE_P(BiasCorrection,
                         SweepAgainstRuns,
                         ::testing::Bool(),
                         [](const auto& param) {
                             return param.param ? "Corrected" : "Uncorrected";
                         });

TEST(HeritabilitySweep, APointWhoseValuesAreNotFiniteStopsWithTheRunsMessageAndItsHeritability)
{
    RunOutput base = mustRun(allOf(highland(), 6, 8));
    // means of 1E160 standard deviations: their quadratic forms overflow, so Fst is NaN
    Matrix& means = base.basis.passes.popMeans;
    for (std::size_t i = 0; i < means.rows(); ++i) {
        for (std::size_t k = 0; k < means.cols(); ++k) {
            means(i, k) *= 1e160;
        }
    }
    auto table = heritabilitySweep(base.basis, range("0.5:0.6:0.1"));
    ASSERT_FALSE(table.ok());
    EXPECT_EQ(table.error().kind, ErrorKind::Analysis);
    EXPECT_EQ(table.error().message,
              "At heritability 0.5: The analysis met a value that is not a finite number in Fst; "
              "the data values may be too large or too close together to analyse.");
    EXPECT_EQ(table.error().field, "heritability 0.5");
}

TEST(HeritabilityRange, CountsInDecimalStepsAsTheUserWouldTypeThem)
{
    // Summed in binary, 0.1 + 0.1 + 0.1 passes 0.3 and the last point would be lost.
    const auto tenths = range("0.1:0.3:0.1");
    ASSERT_EQ(tenths.size(), 3u);
    EXPECT_EQ(tenths[2].text, "0.3");
    EXPECT_EQ(tenths[2].heritability, 0.3f);

    const auto fine = range("0.2:1:0.05");
    EXPECT_EQ(fine.front().text, "0.20");
    EXPECT_EQ(fine[2].text, "0.30");
    EXPECT_EQ(fine[2].heritability, 0.3f);
    EXPECT_EQ(fine[13].heritability, 0.85f);
    EXPECT_EQ(fine.back().text, "1.00");

    const auto uneven = range("0.25:0.5:0.1"); // stops before passing TO
    ASSERT_EQ(uneven.size(), 3u);
    EXPECT_EQ(uneven.back().text, "0.45");
    EXPECT_EQ(range("1:1:0.5").size(), 1u);
    // a step beyond 1 leaves FROM alone, even one that 64 bits would wrap to 0.000512
    const auto wide = range("0.100000000:0.2:35380855133374920");
    ASSERT_EQ(wide.size(), 1u);
    EXPECT_EQ(wide[0].text, "0.100000000");
}

TEST(HeritabilityRange, RefusesWhatIsNotARangeWithinZeroToOne)
{
    for (const char* bad : {"0.2:1",
                            "0:1:0.1",
                            "0.5:0.2:0.1",
                            "0.2:1.5:0.1",
                            "0.2:1:0",
                            "a:1:0.1",
                            "1e-1:1:0.1",
                            "-0.2:1:0.1",
                            "0.2:1:0.0000000001",
                            "0.000001:1:0.000001",
                            // in units of 10^-9, 64 bits would wrap it to 0.500000256
                            "10105753592876599:0.6:0.000000001",
                            "0.5:10105753592876599:0.000000001"}) {
        SCOPED_TRACE(bad);
        auto r = heritabilityRange(bad);
        ASSERT_FALSE(r.ok());
        EXPECT_EQ(r.error().kind, ErrorKind::Usage);
        EXPECT_NE(r.error().message.find(bad), std::string::npos) << r.error().message;
    }
}

TEST(BootstrapGenerator, FollowsSplitMix64AndTheReferenceStreams)
{
    // The published first output of SplitMix64 from state 0; seed 0 replicate 0 starts there.
    SplitMix64 zero(replicateStreamStart(0, 0));
    EXPECT_EQ(zero.next(), 16294208416658607535ULL);
    EXPECT_EQ(zero.next(), 7960286522194355700ULL);
    // tools/bootstrap_reference.py --seed 42 --replicate 0 --draws 3
    SplitMix64 gen(replicateStreamStart(42, 0));
    EXPECT_EQ(gen.next(), 11338124010319451123ULL);
    EXPECT_EQ(gen.next(), 8303042382312347024ULL);
    EXPECT_EQ(gen.next(), 3807263232597043160ULL);
}

TEST(BootstrapGenerator, UniformDrawRejectsTheBiasedTail)
{
    // For n = 2^63 + 1 the draws below 2^64 mod n = 2^63 - 1 are rejected.
    const std::uint64_t n = (std::uint64_t{1} << 63) + 1;
    SplitMix64 reference(5);
    SplitMix64 gen(5);
    std::uint64_t expected = 0;
    for (;;) {
        const std::uint64_t x = reference.next();
        if (x >= (std::uint64_t{1} << 63) - 1) {
            expected = x % n;
            break;
        }
    }
    EXPECT_EQ(uniformBelow(gen, n), expected);
    SplitMix64 one(9);
    EXPECT_EQ(uniformBelow(one, 1), 0u);
}

TEST(BootstrapPercentile, InterpolatesBetweenOrderStatistics)
{
    const std::vector<double> x{1.0, 2.0, 4.0, 8.0, 16.0};
    EXPECT_EQ(percentile(x, 0.0), 1.0);
    EXPECT_EQ(percentile(x, 1.0), 16.0);
    EXPECT_EQ(percentile(x, 0.5), 4.0);
    EXPECT_DOUBLE_EQ(percentile(x, 0.025), 1.1);  // h = 0.1
    EXPECT_DOUBLE_EQ(percentile(x, 0.975), 15.2); // h = 3.9
    EXPECT_EQ(percentile({3.0}, 0.975), 3.0);
}

struct Booted
{
    RunOutput run;
    BootstrapResult result;
};

Booted boot(const RunInput& in,
            std::size_t replicates,
            std::uint64_t seed,
            unsigned threads,
            IntervalKind interval = IntervalKind::Bca)
{
    Booted b;
    b.run = mustRun(in);
    auto records = loadChosenRecords(in.dataSet, b.run.basis, bootstrapMemoryBudget);
    EXPECT_TRUE(records.ok()) << (records.ok() ? "" : records.error().message);
    if (!records.ok()) {
        return b;
    }
    BootstrapSettings settings;
    settings.replicates = replicates;
    settings.seed = seed;
    settings.threads = threads;
    settings.interval = interval;
    auto result = runBootstrap(*records, b.run.basis, settings);
    EXPECT_TRUE(result.ok()) << (result.ok() ? "" : result.error().message);
    if (result.ok()) {
        b.result = std::move(*result);
    }
    return b;
}

TEST(Bootstrap, ReplicateEqualsTheRunOfTheReferenceResampledFile)
{
    const Booted b = boot(allOf(highland(), 6, 8), 8, 42, 2);
    ASSERT_EQ(b.result.used, 8u);
    for (const int r : {0, 7}) {
        SCOPED_TRACE(r);
        const RunOutput ref = mustRun(
            allOf(dataFile("bootstrap_highland_seed42_rep" + std::to_string(r) + ".tvk"), 6, 8));
        std::vector<double> expected{ref.basis.fst, ref.basis.fstUnbiased};
        for (const double d : diagonal(ref.results.rMatrix)) {
            expected.push_back(d);
        }
        for (std::size_t i = 0; i < 6; ++i) {
            for (std::size_t j = i + 1; j < 6; ++j) {
                expected.push_back(ref.results.dSquare(i, j));
            }
        }
        EXPECT_EQ(b.result.replicateValues[static_cast<std::size_t>(r)], expected);
    }
}

TEST(Bootstrap, ResultsDoNotDependOnTheNumberOfThreads)
{
    const RunInput in = allOf(highland(), 6, 8);
    const Booted one = boot(in, 40, 7, 1);
    const Booted many = boot(in, 40, 7, 5);
    EXPECT_EQ(one.result.replicateValues, many.result.replicateValues);
    ASSERT_EQ(one.result.statistics.size(), many.result.statistics.size());
    for (std::size_t s = 0; s < one.result.statistics.size(); ++s) {
        EXPECT_EQ(one.result.statistics[s].bootstrapSe, many.result.statistics[s].bootstrapSe);
        EXPECT_EQ(one.result.statistics[s].lower, many.result.statistics[s].lower);
        EXPECT_EQ(one.result.statistics[s].upper, many.result.statistics[s].upper);
    }
    const Booted other = boot(in, 40, 8, 1);
    EXPECT_NE(one.result.replicateValues, other.result.replicateValues);
}

// Counts the replicates it is told about and cancels once it has seen cancelAfter of them.
class CountingSink final : public ProgressSink
{
public:
    explicit CountingSink(std::uint64_t cancelAfter)
        : m_cancelAfter(cancelAfter)
    {}
    void status(std::string_view) override {}
    bool cancelled() const override { return m_last >= m_cancelAfter; }
    void stepProgress(std::uint64_t done, std::uint64_t total) override
    {
        EXPECT_GE(done, m_last.load()) << "never backwards";
        m_last = done;
        m_total = total;
        ++m_reports;
    }
    std::atomic<std::uint64_t> m_last{0};
    std::uint64_t m_total = 0;
    int m_reports = 0;

private:
    std::uint64_t m_cancelAfter;
};

TEST(Bootstrap, ReportsItsReplicatesAndStopsWhenCancelled)
{
    const RunInput in = allOf(highland(), 6, 8);
    const RunOutput run = mustRun(in);
    auto records = loadChosenRecords(in.dataSet, run.basis, bootstrapMemoryBudget);
    ASSERT_TRUE(records.ok());
    BootstrapSettings settings;
    settings.replicates = 30;
    settings.threads = 3;

    CountingSink all(1000);
    auto whole = runBootstrap(*records, run.basis, settings, all);
    ASSERT_TRUE(whole.ok()) << whole.error().message;
    EXPECT_EQ(all.m_last, 30u);
    EXPECT_EQ(all.m_total, 30u);
    EXPECT_GE(all.m_reports, 1); // at least the end, whichever thread ran the replicates

    // the same numbers as without a sink
    auto plain = runBootstrap(*records, run.basis, settings);
    ASSERT_TRUE(plain.ok());
    EXPECT_EQ(whole->replicateValues, plain->replicateValues);

    settings.threads = 1;
    CountingSink stop(5);
    auto cancelled = runBootstrap(*records, run.basis, settings, stop);
    ASSERT_FALSE(cancelled.ok());
    EXPECT_EQ(cancelled.error().kind, ErrorKind::Cancelled);
    EXPECT_EQ(stop.m_last, 5u) << "stopped at the first poll after the fifth replicate";
}

TEST(Bootstrap, IntervalsOfTheExampleHoldTheirEstimates)
{
    const Booted b = boot(allOf(highland(), 6, 8), 1000, defaultBootstrapSeed, 0);
    EXPECT_EQ(b.result.used, 1000u);
    ASSERT_EQ(b.result.statistics.size(), 2u + 6u + 15u);
    EXPECT_EQ(b.result.statistics[0].estimate, b.run.basis.fst);
    EXPECT_EQ(b.result.statistics[0].analyticSe, b.run.basis.fstSe);
    EXPECT_EQ(b.result.statistics[1].estimate, b.run.basis.fstUnbiased);
    for (const BootstrapStatistic& s : b.result.statistics) {
        SCOPED_TRACE(s.population + " " + s.population2);
        EXPECT_LE(s.lower, s.estimate);
        EXPECT_GE(s.upper, s.estimate);
        EXPECT_GT(s.bootstrapSe, 0.0);
        EXPECT_LT(s.bootstrapSe, 0.1);
    }
}

TEST(Bootstrap, PopulationOfIdenticalRecordsResamplesToItself)
{
    // Every replicate draws Cedar's one record shape again: no replicate fails, and every
    // statistic still has a spread from the other two populations.
    const Booted b = boot(allOf(dataFile("bootstrap_identical_population.tvk"), 3, 2), 200, 3, 2);
    EXPECT_EQ(b.result.used, 200u);
    EXPECT_EQ(b.result.singular + b.result.failed, 0u);
    for (const BootstrapStatistic& s : b.result.statistics) {
        EXPECT_TRUE(std::isfinite(s.bootstrapSe));
        EXPECT_LE(s.lower, s.upper);
    }
}

TEST(Bootstrap, ReplicatesThatCannotBeAnalysedAreCountedNotDropped)
{
    // Two records per population: a replicate that draws one record twice in both populations
    // has no within-population variance left, and its matrix cannot be inverted.
    const Booted b = boot(allOf(dataFile("bootstrap_two_by_two.tvk"), 2, 1), 200, 11, 2);
    EXPECT_GT(b.result.singular, 0u);
    EXPECT_GT(b.result.used, 0u);
    EXPECT_EQ(b.result.used + b.result.singular + b.result.failed, 200u);
    std::size_t empty = 0;
    for (const auto& v : b.result.replicateValues) {
        empty += v.empty() ? 1 : 0;
    }
    EXPECT_EQ(empty, b.result.singular + b.result.failed);
    EXPECT_NE(b.result.firstFailure.find("Matrix could not be inverted"), std::string::npos)
        << b.result.firstFailure;
}

TEST(Bootstrap, RefusesRecordsAboveTheMemoryBudgetNamingTheSizeNeeded)
{
    const RunInput in = allOf(highland(), 6, 8);
    const RunOutput run = mustRun(in);
    // 322 records x 8 variables x 8 bytes
    auto refused = loadChosenRecords(in.dataSet, run.basis, 20607);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().kind, ErrorKind::Analysis);
    EXPECT_NE(refused.error().message.find("322 records of 8 variables need 20608 bytes"),
              std::string::npos)
        << refused.error().message;
    EXPECT_TRUE(loadChosenRecords(in.dataSet, run.basis, 20608).ok());
}

TEST(BootstrapInterval, NormalQuantilesMatchRToTheLastBits)
{
    // R 4.2: qnorm(c(0.975, 0.025, 0.2, 1e-6, 1e-12, 1e-20)), print(digits = 17)
    EXPECT_DOUBLE_EQ(normalQuantile(0.975), 1.95996398454005361);
    EXPECT_DOUBLE_EQ(normalQuantile(0.025), -1.95996398454005383);
    EXPECT_DOUBLE_EQ(normalQuantile(0.2), -0.84162123357291418);
    EXPECT_DOUBLE_EQ(normalQuantile(1e-6), -4.75342430882289868);
    EXPECT_DOUBLE_EQ(normalQuantile(1e-12), -7.03448382530113214);
    EXPECT_DOUBLE_EQ(normalQuantile(1e-20), -9.26234008979840517);
    EXPECT_EQ(normalQuantile(0.0), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(normalQuantile(1.0), std::numeric_limits<double>::infinity());
    // pnorm(c(1.959963984540054, -0.5, 3))
    EXPECT_NEAR(normalCdf(1.959963984540054), 0.97499999999999998, 1e-16);
    EXPECT_NEAR(normalCdf(-0.5), 0.30853753872598694, 1e-16);
    EXPECT_NEAR(normalCdf(3.0), 0.99865010196836990, 1e-16);
}

TEST(BootstrapInterval, CountsTiesWithTheEstimateAsNotBelowAndGivesUpWhenAllAreOnOneSide)
{
    // one of five strictly below 2: z0 = qnorm(0.2); with a = 0 the levels are
    // Phi(2 z0 -+ 1.96)
    const BcaLevels tied = bcaLevels({1.0, 2.0, 2.0, 2.0, 3.0}, 2.0, 0.0);
    EXPECT_DOUBLE_EQ(tied.z0, -0.84162123357291418);
    EXPECT_NEAR(tied.lower, normalCdf(2 * -0.84162123357291418 - 1.95996398454005361), 1e-15);
    EXPECT_NEAR(tied.upper, normalCdf(2 * -0.84162123357291418 + 1.95996398454005361), 1e-15);
    for (const double estimate : {1.0, 0.5, 3.5}) {
        const BcaLevels oneSided = bcaLevels({1.0, 2.0, 3.0}, estimate, 0.0);
        EXPECT_TRUE(std::isnan(oneSided.lower) && std::isnan(oneSided.upper)) << estimate;
    }
    EXPECT_TRUE(std::isnan(bcaLevels({1.0, 2.0, 3.0}, 2.0, std::nan("")).lower));

    // {0, 0, 3}: deviations from the mean 1, 1, -2; a = -6 / (6 * 6^1.5)
    EXPECT_DOUBLE_EQ(jackknifeAcceleration({0.0, 0.0, 3.0}), -1.0 / std::pow(6.0, 1.5));
    EXPECT_EQ(jackknifeAcceleration({-1.0, 0.0, 1.0}), 0.0);
    EXPECT_TRUE(std::isnan(jackknifeAcceleration({0.5, 0.5})));
}

// tests/data/bca_reference.csv: per statistic, from the replicates and jackknife of
// cli_three_pops.tvk with seed 21 and 300 replicates.
struct ReferenceRow
{
    std::vector<double> v; // estimate, z0, a, levels, BCa, percentile and basic limits
};

std::vector<ReferenceRow> readReference()
{
    std::ifstream in(dataFile("bca_reference.csv"));
    std::vector<ReferenceRow> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#' || line.starts_with("statistic")) {
            continue;
        }
        std::stringstream fields(line);
        std::string field;
        std::getline(fields, field, ','); // the statistic's number
        ReferenceRow row;
        while (std::getline(fields, field, ',')) {
            row.v.push_back(field == "NA" ? std::nan("") : std::stod(field));
        }
        EXPECT_EQ(row.v.size(), 11u) << line;
        rows.push_back(row);
    }
    return rows;
}

void expectClose(double actual, double expected, const std::string& what)
{
    if (std::isnan(expected)) {
        EXPECT_TRUE(std::isnan(actual)) << what << ": " << actual;
        return;
    }
    EXPECT_NEAR(actual, expected, 1e-12 * std::max(1.0, std::fabs(expected))) << what;
}

TEST(BootstrapInterval, LimitsAgreeWithRsBootCiOnTheSameReplicates)
{
    const std::vector<ReferenceRow> ref = readReference();
    const RunInput in = allOf(dataFile("cli_three_pops.tvk"), 3, 2);
    for (const IntervalKind kind :
         {IntervalKind::Bca, IntervalKind::Percentile, IntervalKind::Basic}) {
        const Booted b = boot(in, 300, 21, 2, kind);
        ASSERT_EQ(b.result.statistics.size(), ref.size());
        EXPECT_EQ(b.result.jackknifeGroups, kind == IntervalKind::Bca ? 45u : 0u);
        for (std::size_t s = 0; s < ref.size(); ++s) {
            const BootstrapStatistic& st = b.result.statistics[s];
            const std::vector<double>& r = ref[s].v;
            const std::string what = intervalKeyword(kind) + " statistic " + std::to_string(s + 1);
            EXPECT_EQ(st.estimate, r[0]) << what;
            if (kind == IntervalKind::Bca) {
                expectClose(st.z0, r[1], what + " z0");
                expectClose(st.acceleration, r[2], what + " a");
                expectClose(st.lowerLevel, r[3], what + " lower level");
                expectClose(st.upperLevel, r[4], what + " upper level");
            }
            const std::size_t at = kind == IntervalKind::Bca          ? 5
                                   : kind == IntervalKind::Percentile ? 7
                                                                      : 9;
            expectClose(st.lower, r[at], what + " lower");
            expectClose(st.upper, r[at + 1], what + " upper");
        }
    }
}

TEST(BootstrapInterval, WithoutTheCorrectionThereIsNoUnbiasedFstToResample)
{
    RunInput in = allOf(dataFile("cli_three_pops.tvk"), 3, 2);
    in.settings.biasCorrection = false;
    const Booted b = boot(in, 20, 3, 1, IntervalKind::Percentile);
    ASSERT_EQ(b.result.statistics.size(), 1u + 3u + 3u);
    for (const BootstrapStatistic& s : b.result.statistics) {
        EXPECT_NE(s.kind, StatisticKind::FstUnbiased);
    }
    EXPECT_EQ(b.result.replicateValues.front().size(), 7u);
    const std::string summary = bootstrapSummaryText(b.result);
    EXPECT_EQ(summary.find("Unbiased"), std::string::npos) << summary;
}

TEST(BootstrapInterval, SummarySaysWhereTheIntervalsCannotBeTrusted)
{
    BootstrapResult r;
    r.seed = 9;
    r.replicates = 100;
    r.used = 97;
    r.singular = 2;
    r.failed = 1;
    r.firstFailure = "replicate 4: Matrix could not be inverted";
    r.interval = IntervalKind::Bca;
    r.jackknifeGroups = 2000;
    r.jackknifeGrouped = true;
    r.smallPopulations = {{"Holm Orran", 7}};
    const auto stat = [](StatisticKind kind, std::string pop, double bias, double se) {
        BootstrapStatistic s;
        s.kind = kind;
        s.population = std::move(pop);
        s.estimate = 0.03;
        s.bootstrapMean = 0.03 + bias;
        s.bias = bias;
        s.bootstrapSe = se;
        s.lower = 0.01;
        s.upper = 0.05;
        return s;
    };
    r.statistics = {stat(StatisticKind::Fst, "", 0.0081, 0.0054),
                    stat(StatisticKind::RDiagonal, "Kelmoth", -0.00025, 0.001), // exactly 0.25 se
                    stat(StatisticKind::RDiagonal, "Tull", -0.0003, 0.001),
                    stat(StatisticKind::DSquare, "Kelmoth", 0.5, 0.1)}; // distances not watched
    r.statistics[3].population2 = "Tull";
    r.statistics[3].lower = std::nan("");
    const std::string text = bootstrapSummaryText(r);
    const std::string expected =
        "\r\nBootstrap of the R matrix: 100 replicates, seed 9; 95 % BCa intervals\r\n"
        "BCa interval: bias-corrected and accelerated points of the replicates (Efron 1987); "
        "acceleration from a jackknife over 2000 groups of records (record k in group k mod "
        "2000)\r\n"
        "Replicates used: 97; matrix could not be inverted: 2; other failures: 1\r\n"
        "First failed replicate 4: Matrix could not be inverted\r\n"
        "Note: 3 of the 100 replicates could not be analysed and were left out; the intervals "
        "are conditional on the 97 replicates that could be computed\r\n"
        "Note: Holm Orran has only 7 records; with fewer than 10 records in a population the "
        "intervals are unreliable\r\n"
        "Note: the bootstrap mean of Fst lies 1.500 bootstrap standard errors above the "
        "estimate: it is biased under resampling, and its interval is unreliable\r\n"
        "Note: the bootstrap mean of r(ii) Tull lies 0.300 bootstrap standard errors below the "
        "estimate: it is biased under resampling, and its interval is unreliable\r\n"
        "Note: NA marks an interval that cannot be formed (every replicate on one side of the "
        "estimate, or a jackknife without spread)\r\n"
        "\r\n";
    ASSERT_TRUE(text.starts_with(expected)) << text;
    EXPECT_NE(text.find("\r\nD-square Kelmoth / Tull" + std::string(16, ' ') + "0.030000"),
              std::string::npos)
        << text;
}

} // namespace
} // namespace tavrik
