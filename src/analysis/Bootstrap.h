// Bootstrap confidence intervals for the R-matrix statistics of a finished run: the records of
// each chosen population are resampled with replacement (each population keeps its sample
// size) and the whole analysis is computed again for every replicate.
#pragma once

#include "analysis/AnalysisRun.h"
#include "state/Matrix.h"
#include "state/Result.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tavrik {

// SplitMix64: a 64-bit state that advances by 0x9E3779B97F4A7C15 per draw; each draw returns
// the state after the step, passed through splitMix64Mix.
std::uint64_t splitMix64Mix(std::uint64_t z);

class SplitMix64
{
public:
    explicit SplitMix64(std::uint64_t state)
        : m_state(state)
    {}
    std::uint64_t next();

private:
    std::uint64_t m_state;
};

// Replicate r (0-based) draws from its own stream, which starts at
// splitMix64Mix(splitMix64Mix(seed) + r): the replicates do not depend on one another or on
// the order in which threads run them.
std::uint64_t replicateStreamStart(std::uint64_t seed, std::uint64_t replicate);

// A whole number in [0, n), n > 0, without modulo bias: draws x below 2^64 mod n are rejected
// and drawn again; the first accepted x gives x mod n.
std::uint64_t uniformBelow(SplitMix64& gen, std::uint64_t n);

inline constexpr std::uint64_t defaultBootstrapSeed = 20261207;
inline constexpr std::uint64_t bootstrapMemoryBudget = std::uint64_t{1} << 30; // 1 GiB

// The records of the chosen populations, chosen variables only, in file order: one n(i) x t
// matrix per chosen population.
struct RecordTable
{
    std::vector<Matrix> populations;
};

// Reads the chosen records of the run's data file into memory. Refuses, with the size needed,
// when they would take more than budgetBytes; fails when the file no longer holds what the run
// read (the same number of records per chosen population).
[[nodiscard]] Result<RecordTable>
loadChosenRecords(const DataSet& dataSet, const RunBasis& basis, std::uint64_t budgetBytes);

// The 95 % interval a bootstrap reports:
// - Percentile: the 2.5 % and 97.5 % points of the replicates;
// - Basic: 2 x estimate minus the 97.5 % and the 2.5 % points;
// - Bca: bias-corrected and accelerated (Efron 1987), the points at the adjusted levels.
enum class IntervalKind { Percentile, Basic, Bca };

// The acceleration of the BCa interval comes from a jackknife that leaves out one record at a
// time (within its population); above this many records, the records are dealt in file order
// into this many groups and one group is left out at a time.
inline constexpr std::size_t jackknifeGroupLimit = 2000;

// Populations with fewer records than this make every interval unreliable.
inline constexpr std::size_t fewRecordsLimit = 10;
// Bias (bootstrap mean - estimate) beyond this many bootstrap standard errors is noted for Fst
// and r(ii).
inline constexpr double notedBiasShare = 0.25;

struct BootstrapSettings
{
    std::size_t replicates = 1000;
    std::uint64_t seed = defaultBootstrapSeed;
    unsigned threads = 0; // 0: every core
    IntervalKind interval = IntervalKind::Bca;
};

enum class StatisticKind { Fst, FstUnbiased, RDiagonal, DSquare };

struct BootstrapStatistic
{
    StatisticKind kind = StatisticKind::Fst;
    std::string population;  // r(ii) and D-square
    std::string population2; // D-square
    double estimate = 0.0;   // the run's value
    double analyticSe = 0.0; // the run's standard error
    double bootstrapMean = 0.0;
    double bias = 0.0; // bootstrap mean - estimate
    double bootstrapSe = 0.0;
    double lower = 0.0; // the interval of the result's kind; NaN when it cannot be formed
    double upper = 0.0;
    // BCa only: the bias correction z0, the acceleration and the adjusted levels (NaN when
    // they cannot be computed: every replicate on one side of the estimate, or a jackknife
    // without spread)
    double z0 = 0.0;
    double acceleration = 0.0;
    double lowerLevel = 0.025;
    double upperLevel = 0.975;
};

struct SmallPopulation
{
    std::string name;
    std::size_t records = 0;
};

// The replicate's D-square matrix (g x g, upper triangle filled) from its statistics, in the
// order of BootstrapResult::replicateValues.
Matrix replicateDSquare(const std::vector<double>& values, std::size_t g, bool biasCorrection);

struct BootstrapResult
{
    std::uint64_t seed = 0;
    std::size_t replicates = 0; // asked for
    std::size_t used = 0;       // replicates that gave every statistic
    std::size_t singular = 0;   // the matrix could not be inverted
    std::size_t failed = 0;     // other reasons (a variable without variance, a value not finite)
    std::string firstFailure;   // the message of the first failed replicate, by index
    IntervalKind interval = IntervalKind::Bca;
    // BCa: the jackknife's estimates (one per record, or per group above jackknifeGroupLimit
    // records) and how many of them could not be computed
    std::size_t jackknifeGroups = 0;
    bool jackknifeGrouped = false;
    std::size_t jackknifeFailed = 0;
    std::vector<SmallPopulation> smallPopulations; // fewer than fewRecordsLimit records
    // Fst, unbiased Fst, r(ii) per population, D-square for i < j (row by row).
    std::vector<BootstrapStatistic> statistics;
    // replicateValues[r]: the statistics of replicate r in that order; empty when it failed.
    std::vector<std::vector<double>> replicateValues;
};

// The p-quantile (0 <= p <= 1) of sorted values x(0..B-1), B >= 1, by linear interpolation
// between order statistics: h = (B - 1) p, x(floor h) + (h - floor h) (x(floor h + 1) - x(floor
// h)).
double percentile(const std::vector<double>& sorted, double p);

// The standard normal distribution function and its inverse (Wichura's AS 241; p in (0, 1),
// infinite at 0 and 1).
double normalCdf(double x);
double normalQuantile(double p);

// The BCa acceleration from jackknife estimates theta(i) with mean m:
// sum((m - theta(i))^3) / (6 (sum((m - theta(i))^2))^1.5); NaN without spread.
double jackknifeAcceleration(const std::vector<double>& jackknife);

struct BcaLevels
{
    double z0 = 0.0;
    double lower = 0.0; // the adjusted levels of the 2.5 % and 97.5 % points
    double upper = 0.0;
};

// z0 = Phi^-1(share of the replicates strictly below the estimate; ties count as not below),
// level(alpha) = Phi(z0 + (z0 + z(alpha)) / (1 - a (z0 + z(alpha)))). NaN levels when every
// replicate lies on one side of the estimate or a is not finite.
BcaLevels bcaLevels(const std::vector<double>& replicates, double estimate, double acceleration);

// Reports the replicates done through progress.stepProgress and stops with an error of kind
// Cancelled when progress.cancelled() turns true (asked between replicates, from every thread).
[[nodiscard]] Result<BootstrapResult>
runBootstrap(const RecordTable& records, const RunBasis& basis, const BootstrapSettings& settings);
[[nodiscard]] Result<BootstrapResult> runBootstrap(const RecordTable& records,
                                                   const RunBasis& basis,
                                                   const BootstrapSettings& settings,
                                                   ProgressSink& progress);

} // namespace tavrik
