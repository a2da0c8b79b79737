// The two passes fed record by record: sample sizes, standardized means, within and pooled
// variances on a hand-worked example, the matching of records to populations, and the
// conditions under which the passes cannot go on.
#include "analysis/DataPasses.h"

#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <span>
#include <string>
#include <vector>

namespace tavrik {
namespace {

constexpr double closeTolerance = 1e-12;

// Chosen: populations A (code 1) and B (code 2) of equal weight; variable 1 of 2.
PassSetup mirrorSetup()
{
    PassSetup s;
    s.popNames = {"A", "B"};
    s.popCodes = {1, 2};
    s.popWeights = {0.5, 0.5};
    s.varNames = {"Stature"};
    s.varPositions = {0};
    s.fileVarCount = 2;
    return s;
}

struct Rec
{
    double code;
    std::vector<double> values;
};

void feed(PassAccumulator& acc, const std::vector<Rec>& recs, int pass)
{
    for (const auto& r : recs) {
        if (pass == 1) {
            ASSERT_EQ(acc.addPass1(r.code, r.values), -1);
        } else {
            acc.addPass2(r.code, r.values);
        }
    }
}

// A: 0, 2; B: 4, 6; a record of code 9 and the unchosen second variable change nothing.
// N = 4, mean 3, total variance (56 - 144/4) / 3 = 20/3; raw means 1 and 5; every
// deviation from its population mean is 1, so s = 2 * (3/20) / 1 = 0.3 and C = 0.3.
const std::vector<Rec> mirrorRecords{
    {1, {0, 100}}, {2, {4, -7}}, {9, {1000, 1}}, {1, {2, 3}}, {2, {6, 0}}};

TEST(DataPasses, SecondPassMustMeetTheRecordsOfTheFirst)
{
    PassAccumulator acc(mirrorSetup());
    feed(acc, mirrorRecords, 1);
    ASSERT_TRUE(acc.finishPass1().ok());
    // one record of A moved to B: the total is the same, the populations' counts are not
    feed(acc, {{1, {0, 1}}, {2, {4, 1}}, {2, {1, 1}}, {2, {6, 1}}}, 2);
    EXPECT_FALSE(acc.passesSawSameRecords());
}

TEST(DataPasses, HandWorkedMeansAndVariances)
{
    PassAccumulator acc(mirrorSetup());
    feed(acc, mirrorRecords, 1);
    ASSERT_TRUE(acc.finishPass1().ok());
    feed(acc, mirrorRecords, 2);
    EXPECT_TRUE(acc.passesSawSameRecords());
    ASSERT_TRUE(acc.finishPass2().ok());

    const PassResults& r = acc.results();
    EXPECT_EQ(r.sampleSizes, (std::vector<double>{2, 2}));
    EXPECT_EQ(r.totalSampleSize, 4.0);
    EXPECT_EQ(r.grandMeans[0], 3.0);
    EXPECT_NEAR(r.totalVariances[0], 20.0 / 3, closeTolerance);
    const double sd = std::sqrt(20.0 / 3);
    EXPECT_NEAR(r.popMeans(0, 0), -2 / sd, closeTolerance);
    EXPECT_NEAR(r.popMeans(1, 0), 2 / sd, closeTolerance);
    EXPECT_NEAR(r.withinVariance(0, 0), 0.3, closeTolerance);
    EXPECT_NEAR(r.withinVariance(1, 0), 0.3, closeTolerance);
    EXPECT_NEAR(r.pooledCov(0, 0), 0.3, closeTolerance);
    EXPECT_NEAR(r.observedVariance[1], 0.3, closeTolerance);
    EXPECT_NEAR(r.meanWithinVariance, 0.3, closeTolerance);
}

TEST(DataPasses, PooledCovarianceIsWeightedAndSymmetric)
{
    // Two variables; A: (0,0), (2,2); B: (4,0), (6,-2) with weights 0.25 / 0.75.
    PassSetup s = mirrorSetup();
    s.popWeights = {0.25, 0.75};
    s.varNames = {"x", "y"};
    s.varPositions = {0, 1};
    const std::vector<Rec> recs{{1, {0, 0}}, {1, {2, 2}}, {2, {4, 0}}, {2, {6, -2}}};
    PassAccumulator acc(s);
    feed(acc, recs, 1);
    ASSERT_TRUE(acc.finishPass1().ok());
    feed(acc, recs, 2);
    ASSERT_TRUE(acc.finishPass2().ok());
    const PassResults& r = acc.results();
    // x: mean 3, total variance 20/3. y: mean 0, total variance 8/3.
    // Deviations in raw units: A x=-1,+1 y=-1,+1; B x=-1,+1 y=+1,-1.
    // cov(x,y): A +2/(1), B -2/(1) in raw units; standardized divide by sdx*sdy.
    const double sdx = std::sqrt(20.0 / 3);
    const double sdy = std::sqrt(8.0 / 3);
    EXPECT_NEAR(r.pooledCov(0, 1), (0.25 * 2 - 0.75 * 2) / (sdx * sdy), closeTolerance);
    EXPECT_EQ(r.pooledCov(0, 1), r.pooledCov(1, 0));
    EXPECT_NEAR(r.pooledCov(1, 1), 2 / (sdy * sdy), closeTolerance);
    EXPECT_NEAR(r.observedVariance[0], (2 / (sdx * sdx) + 2 / (sdy * sdy)) / 2, closeTolerance);
}

TEST(DataPasses, RecordsGoToTheLastChosenPopulationWithTheirCode)
{
    PassSetup s = mirrorSetup();
    s.popCodes = {2, 2};
    PassAccumulator acc(s);
    EXPECT_EQ(acc.populationOf(2.0), 1);
    EXPECT_EQ(acc.populationOf(1.0), -1);
    EXPECT_EQ(acc.populationOf(2.5), -1);
    EXPECT_EQ(acc.populationOf(-40000.0), -1);
    feed(acc, mirrorRecords, 1);
    auto st = acc.finishPass1();
    ASSERT_FALSE(st.ok());
    // the records went to the later population of the same code: the message names both
    EXPECT_EQ(st.error().message,
              "Population \"A\" has no records of its own: it shares code 2 with population "
              "\"B\", which comes later in the data file and receives every record of that "
              "code. Give the two populations different codes in the data file, or choose only "
              "one of them.");
    EXPECT_EQ(st.error().field, "population A");
}

// Deviations from the first record's value are exact here (quarters near 10^8), so the total
// variance is the exact 0.3125 / 3 = 5/48; sums of the values themselves, near 10^16, would
// carry a rounding step of 2.
TEST(DataPasses, TotalVarianceOfValuesFarFromZeroKeepsItsDigits)
{
    PassAccumulator acc(mirrorSetup());
    feed(acc,
         {{1, {100000000.25, 0}},
          {7, {5.0, 0}}, // no chosen population: neither counted nor the first record
          {1, {100000000.5, 0}},
          {2, {100000000.75, 0}},
          {2, {100000001.0, 0}}},
         1);
    ASSERT_TRUE(acc.finishPass1().ok());
    EXPECT_DOUBLE_EQ(acc.results().totalVariances[0], 5.0 / 48.0);
    EXPECT_EQ(acc.results().grandMeans[0], 100000000.625);
}

TEST(DataPassFailures, FirstPassNamesWhatCannotBeAnalysed)
{
    const struct
    {
        const char* what;
        std::vector<Rec> records;
        const char* message;
    } cases[] = {
        {"one record of the chosen populations",
         {{2, {4, 0}}, {7, {1, 1}}},
         "The data file holds 1 record(s) of the chosen populations; an analysis needs at least "
         "two records of each chosen population."},
        // 0.1 summed is not exact in binary: the variance formula need not come out exactly 0,
        // yet the variable must still be recognised as constant
        {"a constant variable",
         {{1, {0.1, 0}}, {1, {0.1, 1}}, {2, {0.1, 2}}, {2, {0.1, 3}}, {2, {0.1, 3}}},
         "Variable \"Stature\" has no variance over the records of the chosen populations; "
         "leave it out of the analysis."},
        {"values whose squares overflow",
         {{1, {1e200, 0}}, {1, {-1e200, 0}}, {2, {1, 0}}, {2, {2, 0}}},
         "Variable \"Stature\": its values are too large"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PassAccumulator acc(mirrorSetup());
        feed(acc, c.records, 1);
        auto st = acc.finishPass1();
        ASSERT_FALSE(st.ok());
        EXPECT_TRUE(st.error().message.starts_with(c.message)) << st.error().message;
    }
}

TEST(DataPassFailures, NonFiniteValueOfAChosenVariableIsReported)
{
    PassAccumulator acc(mirrorSetup());
    EXPECT_EQ(acc.addPass1(1, std::vector<double>{INFINITY, 0}), 0);
    EXPECT_EQ(acc.addPass1(1, std::vector<double>{1, NAN}), -1); // unchosen: ignored
    EXPECT_EQ(acc.addPass1(5, std::vector<double>{NAN, 0}), -1); // unchosen population
}

TEST(DataPasses, SecondPassSumsEveryElementInRecordOrderOnOneThreadOrTwo)
{
    // Against the plain formula, one element after the other in record order: the pooled
    // matrix fed record by record, and replayed from kept records on one thread and on two,
    // for row lengths that do and do not fill groups of four.
    for (const std::size_t t : {1u, 2u, 3u, 5u, 9u, 20u}) {
        SCOPED_TRACE(std::to_string(t) + " variables");
        PassSetup s;
        s.popNames = {"A", "B", "C"};
        s.popCodes = {1, 2, 3};
        s.popWeights = {0.2, 0.3, 0.5};
        s.fileVarCount = t + 1; // the last variable of the file is not chosen
        for (std::size_t k = 0; k < t; ++k) {
            s.varNames.push_back("v" + std::to_string(k + 1));
            s.varPositions.push_back(k);
        }
        std::vector<Rec> recs;
        std::uint64_t state = 99;
        for (int r = 0; r < 300; ++r) {
            Rec rec{static_cast<double>(r % 3 + 1), {}};
            for (std::size_t k = 0; k <= t; ++k) {
                state = state * 6364136223846793005ULL + 1442695040888963407ULL;
                rec.values.push_back(static_cast<double>(state >> 11) * 0x1p-40 - 1000.0);
            }
            if (r % 37 == 5) {
                rec.values[r % t] = NAN; // a missing value: left out of both passes
            }
            recs.push_back(rec);
        }
        PassAccumulator first(s);
        for (const Rec& r : recs) {
            ASSERT_EQ(first.addPass1(r.code, r.values), -1);
        }
        ASSERT_TRUE(first.finishPass1().ok());

        const PassResults& p1 = first.results();
        Matrix within(3, t);
        Matrix pooled(t, t);
        for (const Rec& r : recs) {
            const auto i = static_cast<std::size_t>(r.code) - 1;
            bool missing = false;
            for (std::size_t k = 0; k < t; ++k) {
                missing = missing || std::isnan(r.values[k]);
            }
            if (missing) {
                continue;
            }
            const double nm1 = p1.sampleSizes[i] - 1.0;
            std::vector<double> e(t);
            for (std::size_t k = 0; k < t; ++k) {
                const double z = (r.values[k] - p1.grandMeans[k]) / std::sqrt(p1.totalVariances[k]);
                e[k] = z - p1.popMeans(i, k);
            }
            for (std::size_t k = 0; k < t; ++k) {
                within(i, k) += e[k] * e[k] / nm1;
                for (std::size_t l = 0; l <= k; ++l) {
                    pooled(k, l) += e[k] * s.popWeights[i] * e[l] / nm1;
                }
            }
        }
        for (std::size_t k = 0; k < t; ++k) {
            for (std::size_t l = 0; l < k; ++l) {
                pooled(l, k) = pooled(k, l);
            }
        }

        PassAccumulator direct = first;
        feed(direct, recs, 2);
        ASSERT_TRUE(direct.finishPass2().ok());
        EXPECT_EQ(direct.results().withinVariance.data(), within.data());
        EXPECT_EQ(direct.results().pooledCov.data(), pooled.data());

        RecordCache cache(t, std::uint64_t{1} << 20);
        for (const Rec& r : recs) {
            cache.add(r.code, r.values, s.varPositions);
        }
        ASSERT_TRUE(cache.complete());
        for (const unsigned threads : {1u, 2u}) {
            SCOPED_TRACE(std::to_string(threads) + " threads");
            PassAccumulator replayed = first;
            NullProgress quiet;
            ASSERT_TRUE(replayPass2(cache, replayed, quiet, 1000, threads).ok());
            EXPECT_TRUE(replayed.passesSawSameRecords());
            ASSERT_TRUE(replayed.finishPass2().ok());
            EXPECT_EQ(replayed.results().withinVariance.data(), within.data());
            EXPECT_EQ(replayed.results().pooledCov.data(), pooled.data());
        }
    }
}

TEST(RecordCache, KeepsChosenValuesInOrderAndGivesUpWholeWhenOverBudget)
{
    // Two of three values chosen: 3 doubles (24 bytes) a record. 48 bytes hold two records;
    // the third overflows, and everything is let go at once.
    const std::vector<std::size_t> positions{2, 0};
    RecordCache cache(2, 48);
    cache.add(7, std::vector<double>{1.5, 99, -0.25}, positions);
    cache.add(-3, std::vector<double>{0.1, 99, 1e300}, positions);
    ASSERT_TRUE(cache.complete());
    EXPECT_EQ(cache.records(), 2);
    std::vector<double> seen;
    EXPECT_TRUE(cache.forEach([&](double code, std::span<const double> v) {
        seen.insert(seen.end(), {code, v[0], v[1]});
        return true;
    }));
    EXPECT_EQ(seen, (std::vector<double>{7, -0.25, 1.5, -3, 1e300, 0.1}));
    EXPECT_EQ(cache.bytesHeld(), 48u);

    cache.add(1, std::vector<double>{1, 2, 3}, positions);
    EXPECT_FALSE(cache.complete());
    EXPECT_EQ(cache.records(), 0);
    EXPECT_EQ(cache.bytesHeld(), 0u);
    cache.add(1, std::vector<double>{1, 2, 3}, positions);
    EXPECT_EQ(cache.records(), 0);

    EXPECT_FALSE(RecordCache(2, 0).complete()); // a budget of 0 keeps nothing
}

TEST(ProgressLine, PrintsTheCountWithoutPaddingAndNothingForZero)
{
    EXPECT_EQ(passProgressLine(1, 20), "...pass 1 of 2, cases read = 20 ...");
    EXPECT_EQ(passProgressLine(2, 12345), "...pass 2 of 2, cases read = 12345 ...");
    EXPECT_EQ(passProgressLine(1, 0), "...pass 1 of 2, cases read =  ...");
}

} // namespace
} // namespace tavrik
