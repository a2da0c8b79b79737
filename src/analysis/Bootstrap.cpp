#include "analysis/Bootstrap.h"

#include "analysis/RMatrix.h"
#include "analysis/RunMemory.h"
#include "analysis/WorkerPool.h"
#include "datafile/DataFileReader.h"
#include "io/TextEncoding.h"
#include "state/PortableMath.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <limits>
#include <span>
#include <thread>
#include <utility>

namespace tavrik {

// Indices are 0-based: population i, chosen variable k, replicate r, in file order.

std::uint64_t splitMix64Mix(std::uint64_t z)
{
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

std::uint64_t SplitMix64::next()
{
    m_state += 0x9E3779B97F4A7C15ULL;
    return splitMix64Mix(m_state);
}

std::uint64_t replicateStreamStart(std::uint64_t seed, std::uint64_t replicate)
{
    return splitMix64Mix(splitMix64Mix(seed) + replicate);
}

std::uint64_t uniformBelow(SplitMix64& gen, std::uint64_t n)
{
    assert(n > 0);
    const std::uint64_t threshold = (0 - n) % n; // 2^64 mod n
    for (;;) {
        const std::uint64_t x = gen.next();
        if (x >= threshold) {
            return x % n;
        }
    }
}

double percentile(const std::vector<double>& sorted, double p)
{
    assert(!sorted.empty());
    const double h = static_cast<double>(sorted.size() - 1) * p;
    const double below = std::floor(h);
    const auto lo = static_cast<std::size_t>(below);
    if (lo + 1 >= sorted.size()) {
        return sorted.back();
    }
    return sorted[lo] + (h - below) * (sorted[lo + 1] - sorted[lo]);
}

namespace {

// Wichura's AS 241 coefficients, constant term first.
constexpr std::array<double, 8> centralNum{3.3871328727963666080e0,
                                           1.3314166789178437745e+2,
                                           1.9715909503065514427e+3,
                                           1.3731693765509461125e+4,
                                           4.5921953931549871457e+4,
                                           6.7265770927008700853e+4,
                                           3.3430575583588128105e+4,
                                           2.5090809287301226727e+3};
constexpr std::array<double, 8> centralDen{1.0,
                                           4.2313330701600911252e+1,
                                           6.8718700749205790830e+2,
                                           5.3941960214247511077e+3,
                                           2.1213794301586595867e+4,
                                           3.9307895800092710610e+4,
                                           2.8729085735721942674e+4,
                                           5.2264952788528545610e+3};
constexpr std::array<double, 8> nearNum{1.42343711074968357734e0,
                                        4.63033784615654529590e0,
                                        5.76949722146069140550e0,
                                        3.64784832476320460504e0,
                                        1.27045825245236838258e0,
                                        2.41780725177450611770e-1,
                                        2.27238449892691845833e-2,
                                        7.74545014278341407640e-4};
constexpr std::array<double, 8> nearDen{1.0,
                                        2.05319162663775882187e0,
                                        1.67638483018380384940e0,
                                        6.89767334985100004550e-1,
                                        1.48103976427480074590e-1,
                                        1.51986665636164571966e-2,
                                        5.47593808499534494600e-4,
                                        1.05075007164441684324e-9};
constexpr std::array<double, 8> farNum{6.65790464350110377720e0,
                                       5.46378491116411436990e0,
                                       1.78482653991729133580e0,
                                       2.96560571828504891230e-1,
                                       2.65321895265761230930e-2,
                                       1.24266094738807843860e-3,
                                       2.71155556874348757815e-5,
                                       2.01033439929228813265e-7};
constexpr std::array<double, 8> farDen{1.0,
                                       5.99832206555887937690e-1,
                                       1.36929880922735805310e-1,
                                       1.48753612908506148525e-2,
                                       7.86869131145613259100e-4,
                                       1.84631831751005468180e-5,
                                       1.42151175831644588870e-7,
                                       2.04426310338993978564e-15};

double horner(const std::array<double, 8>& c, double x)
{
    double v = c[7];
    for (std::size_t k = 7; k-- > 0;) {
        v = v * x + c[k];
    }
    return v;
}

} // namespace

double normalCdf(double x)
{
    return 0.5 * portable::erfc(-x / std::sqrt(2.0));
}

double normalQuantile(double p)
{
    if (!(p > 0.0)) {
        return p == 0.0 ? -std::numeric_limits<double>::infinity()
                        : std::numeric_limits<double>::quiet_NaN();
    }
    if (!(p < 1.0)) {
        return p == 1.0 ? std::numeric_limits<double>::infinity()
                        : std::numeric_limits<double>::quiet_NaN();
    }
    const double q = p - 0.5;
    if (std::fabs(q) <= 0.425) {
        const double r = 0.180625 - q * q;
        return q * horner(centralNum, r) / horner(centralDen, r);
    }
    double r = std::sqrt(-portable::log(q < 0.0 ? p : 1.0 - p));
    double v = 0.0;
    if (r <= 5.0) {
        r -= 1.6;
        v = horner(nearNum, r) / horner(nearDen, r);
    } else {
        r -= 5.0;
        v = horner(farNum, r) / horner(farDen, r);
    }
    return q < 0.0 ? -v : v;
}

double jackknifeAcceleration(const std::vector<double>& jackknife)
{
    if (jackknife.empty()) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    double sum = 0.0;
    for (const double v : jackknife) {
        sum += v;
    }
    const double mean = sum / static_cast<double>(jackknife.size());
    double squares = 0.0;
    double cubes = 0.0;
    for (const double v : jackknife) {
        const double d = mean - v;
        squares += d * d;
        cubes += d * d * d;
    }
    // squares^1.5 from two correctly rounded operations: the same bits on every platform
    const double a = cubes / (6.0 * (squares * std::sqrt(squares)));
    return std::isfinite(a) ? a : std::numeric_limits<double>::quiet_NaN();
}

BcaLevels bcaLevels(const std::vector<double>& replicates, double estimate, double acceleration)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::size_t below = 0;
    for (const double x : replicates) {
        below += x < estimate ? 1 : 0;
    }
    BcaLevels levels;
    levels.z0 = normalQuantile(static_cast<double>(below) / static_cast<double>(replicates.size()));
    if (!std::isfinite(levels.z0) || !std::isfinite(acceleration)) {
        levels.lower = nan;
        levels.upper = nan;
        return levels;
    }
    const auto adjusted = [&](double alpha) {
        const double z = levels.z0 + normalQuantile(alpha);
        return normalCdf(levels.z0 + z / (1.0 - acceleration * z));
    };
    levels.lower = adjusted(0.025);
    levels.upper = adjusted(0.975);
    return levels;
}

namespace {

constexpr const char* singularMessage = "Matrix could not be inverted";

enum class Outcome { Used, Singular, Failed };

struct Replicate
{
    Outcome outcome = Outcome::Failed;
    std::vector<double> values;
    std::string message;
};

// Fst, unbiased Fst (with the correction only: without it, it is Fst again), the diagonal of
// R, and the distances above the diagonal, row by row.
std::vector<double> statisticValues(const Relationship& rel, bool biasCorrection)
{
    const std::size_t g = rel.r.rows();
    std::vector<double> v;
    v.reserve(2 + g + g * (g - 1) / 2);
    v.push_back(rel.fst);
    if (biasCorrection) {
        v.push_back(rel.fstUnbiased);
    }
    for (std::size_t i = 0; i < g; ++i) {
        v.push_back(rel.r(i, i));
    }
    for (std::size_t i = 0; i + 1 < g; ++i) {
        for (std::size_t j = i + 1; j < g; ++j) {
            v.push_back(rel.dSquare(i, j));
        }
    }
    return v;
}

// The chosen records go through the accumulator population by population, each in the order
// given (drawn[i] holds row numbers of population i): as the records of a data file holding
// them in that order would.
Replicate analyseRows(const RecordTable& records,
                      const RunBasis& basis,
                      const PassSetup& local,
                      const std::vector<std::vector<std::size_t>>& drawn)
{
    const std::size_t g = records.populations.size();
    const std::size_t t = local.varPositions.size();
    const auto row = [&](std::size_t i, std::size_t d) {
        return std::span<const double>(records.populations[i].data().data() + drawn[i][d] * t, t);
    };
    Replicate rep;
    PassAccumulator acc(local);
    for (std::size_t i = 0; i < g; ++i) {
        for (std::size_t d = 0; d < drawn[i].size(); ++d) {
            acc.addPass1(static_cast<double>(i), row(i, d));
        }
    }
    if (auto st = acc.finishPass1(); !st) {
        rep.message = st.error().message;
        return rep;
    }
    for (std::size_t i = 0; i < g; ++i) {
        for (std::size_t d = 0; d < drawn[i].size(); ++d) {
            acc.addPass2(static_cast<double>(i), row(i, d));
        }
    }
    if (auto st = acc.finishPass2(); !st) {
        rep.message = st.error().message;
        return rep;
    }
    NullProgress quiet;
    auto rel =
        relationshipAt(acc.results(), local, basis.heritability, basis.biasCorrection, quiet);
    if (!rel) {
        rep.message = rel.error().message;
        rep.outcome = rep.message == singularMessage ? Outcome::Singular : Outcome::Failed;
        return rep;
    }
    rep.outcome = Outcome::Used;
    rep.values = statisticValues(*rel, basis.biasCorrection);
    return rep;
}

Replicate runReplicate(const RecordTable& records,
                       const RunBasis& basis,
                       const PassSetup& local,
                       std::uint64_t seed,
                       std::size_t r)
{
    const std::size_t g = records.populations.size();
    SplitMix64 gen(replicateStreamStart(seed, r));
    std::vector<std::vector<std::size_t>> drawn(g);
    for (std::size_t i = 0; i < g; ++i) {
        const std::size_t n = records.populations[i].rows();
        drawn[i].resize(n);
        for (std::size_t d = 0; d < n; ++d) {
            drawn[i][d] = static_cast<std::size_t>(uniformBelow(gen, n));
        }
    }
    return analyseRows(records, basis, local, drawn);
}

// Leave-out `group` of a jackknife with `groups` groups: record k (0-based, counted over the
// populations in file order) belongs to group k mod groups.
Replicate runJackknife(const RecordTable& records,
                       const RunBasis& basis,
                       const PassSetup& local,
                       std::size_t groups,
                       std::size_t group)
{
    const std::size_t g = records.populations.size();
    std::vector<std::vector<std::size_t>> kept(g);
    std::size_t k = 0;
    for (std::size_t i = 0; i < g; ++i) {
        const std::size_t n = records.populations[i].rows();
        kept[i].reserve(n);
        for (std::size_t d = 0; d < n; ++d, ++k) {
            if (k % groups != group) {
                kept[i].push_back(d);
            }
        }
    }
    return analyseRows(records, basis, local, kept);
}

// The bytes a bootstrap holds at its peak: every replicate's statistics until the end, and on
// each thread the draws of one replicate (an index per record) and its accumulator and
// relationship matrices.
std::uint64_t bootstrapMemoryBytes(const RecordTable& records,
                                   std::size_t statistics,
                                   std::size_t replicates,
                                   unsigned threads)
{
    const std::uint64_t g = records.populations.size();
    const std::uint64_t t = g > 0 ? records.populations.front().cols() : 0;
    std::uint64_t n = 0;
    for (const Matrix& m : records.populations) {
        n += m.rows();
    }
    constexpr std::uint64_t allocationOverhead = 16;
    const std::uint64_t perReplicate = sizeof(Replicate) + sizeof(std::vector<double>) +
                                       statistics * sizeof(double) * 2 + allocationOverhead;
    const std::uint64_t perThread =
        n * sizeof(std::size_t) + (4 * g * t + 4 * t * t + 8 * g * g) * sizeof(double);
    return std::uint64_t{replicates} * perReplicate + std::uint64_t{threads} * perThread;
}

Status checkBootstrapMemory(const RecordTable& records,
                            std::size_t statistics,
                            std::size_t replicates,
                            unsigned threads)
{
    const std::uint64_t available = availableMemoryBytes();
    const std::uint64_t need = bootstrapMemoryBytes(records, statistics, replicates, threads);
    if (available == 0 || need <= available / 2) {
        return Done{};
    }
    return Error::analysis(
        "The bootstrap needs about " + memoryText(need) + " for " + std::to_string(replicates) +
            " replicates of " + std::to_string(statistics) + " statistics, more than half of the " +
            memoryText(available) + " of memory this program may use; ask for fewer replicates.",
        {},
        0,
        "bootstrap");
}

} // namespace

Matrix replicateDSquare(const std::vector<double>& values, std::size_t g, bool biasCorrection)
{
    // after Fst, the unbiased Fst and every r(ii), as statisticValues lays them out
    Matrix d(g, g);
    std::size_t k = (biasCorrection ? 2 : 1) + g;
    for (std::size_t i = 0; i + 1 < g; ++i) {
        for (std::size_t j = i + 1; j < g; ++j) {
            d(i, j) = values[k++];
        }
    }
    return d;
}

namespace {

Status checkTableBudget(std::uint64_t records, std::size_t t, std::uint64_t budgetBytes)
{
    const std::uint64_t needed = records * t * sizeof(double);
    if (needed <= budgetBytes) {
        return Done{};
    }
    constexpr std::uint64_t mib = std::uint64_t{1} << 20;
    std::string neededText = std::to_string(needed) + " bytes";
    if (needed >= mib) {
        neededText += " (" + std::to_string((needed + mib - 1) / mib) + " MiB)";
    }
    const std::string budgetText = budgetBytes >= mib && budgetBytes % mib == 0
                                       ? std::to_string(budgetBytes / mib) + " MiB"
                                       : std::to_string(budgetBytes) + " bytes";
    return Error::analysis(
        "The bootstrap holds the chosen records in memory: " + std::to_string(records) +
            " records of " + std::to_string(t) + " variables need " + neededText +
            ", more than the " + budgetText + " it may use. Choose fewer variables or populations.",
        {},
        0,
        "bootstrap");
}

// The chosen values of the records after the header, into a table sized by the run's counts:
// a record more or fewer than the run read, or a value it could not have read, means the
// file is no longer the run's.
Result<RecordTable>
readChosenRecords(DataFileReader& reader, const RunBasis& basis, const std::string& path)
{
    const std::size_t g = basis.setup.popNames.size();
    const std::size_t t = basis.setup.varPositions.size();
    RecordTable table;
    std::vector<std::size_t> filled(g, 0);
    for (std::size_t i = 0; i < g; ++i) {
        table.populations.emplace_back(static_cast<std::size_t>(basis.passes.sampleSizes[i]), t);
    }
    const PassAccumulator codes(basis.setup);
    std::vector<double> values(basis.setup.fileVarCount);
    double code = 0.0;
    for (;;) {
        auto more = reader.nextRecord(code, values);
        if (!more) {
            return more.error();
        }
        if (!*more) {
            break;
        }
        const int j = codes.populationOf(code);
        if (j < 0) {
            continue;
        }
        bool complete = true;
        for (std::size_t k = 0; k < t; ++k) {
            complete = complete && !std::isnan(values[basis.setup.varPositions[k]]);
        }
        if (!complete) {
            continue; // left out of the run for a missing value, as here
        }
        const auto i = static_cast<std::size_t>(j);
        Matrix& m = table.populations[i];
        if (filled[i] == m.rows()) {
            return dataFileChanged(path);
        }
        for (std::size_t k = 0; k < t; ++k) {
            const double v = values[basis.setup.varPositions[k]];
            if (!std::isfinite(v)) {
                return dataFileChanged(path);
            }
            m(filled[i], k) = v;
        }
        ++filled[i];
    }
    for (std::size_t i = 0; i < g; ++i) {
        if (filled[i] != table.populations[i].rows()) {
            return dataFileChanged(path);
        }
    }
    return table;
}

} // namespace

Result<RecordTable>
loadChosenRecords(const DataSet& dataSet, const RunBasis& basis, std::uint64_t budgetBytes)
{
    const auto records = static_cast<std::uint64_t>(basis.passes.totalSampleSize);
    if (auto st = checkTableBudget(records, basis.setup.varPositions.size(), budgetBytes); !st) {
        return st.error();
    }
    const std::string& path = dataSet.dataPath;
    // the file of the run, or nothing: a file rewritten since would mix two data sets
    auto reader = reopenRunFile(dataSet, basis.dataStamp);
    if (!reader) {
        return reader.error();
    }
    auto header = readRunHeader(*reader, path, dataSet.popCount, dataSet.varCount);
    if (!header) {
        return header.error();
    }
    auto table = readChosenRecords(*reader, basis, path);
    if (table.ok() && reader->fileStamp() != basis.dataStamp) {
        return dataFileChanged(path);
    }
    return table;
}

Result<BootstrapResult>
runBootstrap(const RecordTable& records, const RunBasis& basis, const BootstrapSettings& settings)
{
    NullProgress quiet;
    return runBootstrap(records, basis, settings, quiet);
}

namespace {

// The replicates address the populations by index (codes 0..g-1) and the variables by column
// of the table.
PassSetup tableSetup(const PassSetup& setup)
{
    PassSetup local = setup;
    const std::size_t t = setup.varPositions.size();
    local.fileVarCount = t;
    for (std::size_t k = 0; k < t; ++k) {
        local.varPositions[k] = k;
    }
    for (std::size_t i = 0; i < setup.popNames.size(); ++i) {
        local.popCodes[i] = static_cast<std::int16_t>(i);
    }
    return local;
}

// One statistic per value of the run, in the order statisticValues gives them.
std::vector<BootstrapStatistic> runStatistics(const RunBasis& basis,
                                              const std::vector<double>& estimates)
{
    const std::vector<std::string>& names = basis.setup.popNames;
    const std::size_t g = names.size();
    std::vector<BootstrapStatistic> statistics;
    const auto add = [&](StatisticKind kind, std::string p1, std::string p2, double se) {
        BootstrapStatistic st;
        st.kind = kind;
        st.population = std::move(p1);
        st.population2 = std::move(p2);
        st.estimate = estimates[statistics.size()];
        st.analyticSe = se;
        statistics.push_back(std::move(st));
    };
    add(StatisticKind::Fst, {}, {}, basis.fstSe);
    if (basis.biasCorrection) {
        add(StatisticKind::FstUnbiased, {}, {}, basis.fstSe);
    }
    for (std::size_t i = 0; i < g; ++i) {
        add(StatisticKind::RDiagonal, names[i], {}, basis.seDiagonal[i]);
    }
    for (std::size_t i = 0; i + 1 < g; ++i) {
        for (std::size_t j = i + 1; j < g; ++j) {
            add(StatisticKind::DSquare, names[i], names[j], basis.seDSquare(i, j));
        }
    }
    return statistics;
}

// The populations with so few records that their replicates say little.
std::vector<SmallPopulation> smallPopulations(const RecordTable& records,
                                              const std::vector<std::string>& names)
{
    std::vector<SmallPopulation> small;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::size_t n = records.populations[i].rows();
        if (n < fewRecordsLimit) {
            small.push_back({names[i], n});
        }
    }
    return small;
}

unsigned bootstrapThreads(const BootstrapSettings& settings)
{
    unsigned threads =
        settings.threads != 0 ? settings.threads : std::thread::hardware_concurrency();
    threads = std::max(1u, threads);
    if (threads > settings.replicates) {
        threads = static_cast<unsigned>(std::max<std::size_t>(1, settings.replicates));
    }
    return threads;
}

// Counts the replicates by outcome, in replicate order, and keeps the values of those used.
void tallyReplicates(std::vector<Replicate>& reps, BootstrapResult& res)
{
    res.replicateValues.resize(reps.size());
    for (std::size_t r = 0; r < reps.size(); ++r) {
        switch (reps[r].outcome) {
        case Outcome::Used:
            ++res.used;
            res.replicateValues[r] = std::move(reps[r].values);
            break;
        case Outcome::Singular:
            ++res.singular;
            break;
        case Outcome::Failed:
            ++res.failed;
            break;
        }
        if (reps[r].outcome != Outcome::Used && res.firstFailure.empty()) {
            res.firstFailure = "replicate " + std::to_string(r + 1) + ": " + reps[r].message;
        }
    }
}

// The levels of the interval's ends: BCa's from the jackknife, else 2.5 % and 97.5 %.
void intervalLevels(BootstrapStatistic& st,
                    const std::vector<double>& xs,
                    const std::vector<Replicate>& jack,
                    std::size_t s,
                    IntervalKind interval)
{
    if (interval != IntervalKind::Bca) {
        st.lowerLevel = 0.025;
        st.upperLevel = 0.975;
        return;
    }
    std::vector<double> jackValues;
    for (const Replicate& j : jack) {
        if (j.outcome == Outcome::Used) {
            jackValues.push_back(j.values[s]);
        }
    }
    st.acceleration = jackknifeAcceleration(jackValues);
    const BcaLevels levels = bcaLevels(xs, st.estimate, st.acceleration);
    st.z0 = levels.z0;
    st.lowerLevel = levels.lower;
    st.upperLevel = levels.upper;
}

// Mean, bias, standard error and interval of statistic s from the replicates used (xs, in
// replicate order); NaN where they cannot be had.
void summarizeStatistic(BootstrapStatistic& st,
                        std::vector<double>& xs,
                        const std::vector<Replicate>& jack,
                        std::size_t s,
                        IntervalKind interval)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    st.bootstrapMean = nan;
    st.bias = nan;
    st.bootstrapSe = nan;
    st.lower = nan;
    st.upper = nan;
    st.z0 = nan;
    st.acceleration = nan;
    st.lowerLevel = nan;
    st.upperLevel = nan;
    if (xs.empty()) {
        return;
    }
    double sum = 0.0;
    for (const double x : xs) {
        sum += x;
    }
    st.bootstrapMean = sum / static_cast<double>(xs.size());
    st.bias = st.bootstrapMean - st.estimate;
    if (xs.size() >= 2) {
        double squares = 0.0;
        for (const double x : xs) {
            squares += (x - st.bootstrapMean) * (x - st.bootstrapMean);
        }
        st.bootstrapSe = std::sqrt(squares / static_cast<double>(xs.size() - 1));
    }
    intervalLevels(st, xs, jack, s, interval);
    std::sort(xs.begin(), xs.end());
    if (!std::isfinite(st.lowerLevel) || !std::isfinite(st.upperLevel)) {
        return;
    }
    const double low = percentile(xs, st.lowerLevel);
    const double high = percentile(xs, st.upperLevel);
    if (interval == IntervalKind::Basic) {
        st.lower = 2.0 * st.estimate - high;
        st.upper = 2.0 * st.estimate - low;
    } else {
        st.lower = low;
        st.upper = high;
    }
}

} // namespace

Result<BootstrapResult> runBootstrap(const RecordTable& records,
                                     const RunBasis& basis,
                                     const BootstrapSettings& settings,
                                     ProgressSink& progress)
{
    assert(records.populations.size() == basis.setup.popNames.size());
    const PassSetup local = tableSetup(basis.setup);

    NullProgress quiet;
    auto point =
        relationshipAt(basis.passes, basis.setup, basis.heritability, basis.biasCorrection, quiet);
    if (!point) {
        return point.error();
    }

    BootstrapResult res;
    res.seed = settings.seed;
    res.replicates = settings.replicates;
    res.interval = settings.interval;
    res.statistics = runStatistics(basis, statisticValues(*point, basis.biasCorrection));
    res.smallPopulations = smallPopulations(records, basis.setup.popNames);
    std::size_t recordCount = 0;
    for (const Matrix& m : records.populations) {
        recordCount += m.rows();
    }

    const unsigned threads = bootstrapThreads(settings);
    if (auto st =
            checkBootstrapMemory(records, res.statistics.size(), settings.replicates, threads);
        !st) {
        return st.error();
    }
    std::vector<Replicate> reps(settings.replicates);
    if (auto st = runEach(reps.size(),
                          threads,
                          progress,
                          true,
                          "the bootstrap",
                          [&](std::size_t r) {
                              reps[r] = runReplicate(records, basis, local, settings.seed, r);
                          });
        !st) {
        return st.error();
    }
    progress.stepProgress(reps.size(), reps.size());

    std::vector<Replicate> jack;
    if (settings.interval == IntervalKind::Bca) {
        res.jackknifeGrouped = recordCount > jackknifeGroupLimit;
        res.jackknifeGroups = res.jackknifeGrouped ? jackknifeGroupLimit : recordCount;
        jack.resize(res.jackknifeGroups);
        if (auto st = runEach(jack.size(),
                              threads,
                              progress,
                              false,
                              "the bootstrap's jackknife",
                              [&](std::size_t k) {
                                  jack[k] =
                                      runJackknife(records, basis, local, res.jackknifeGroups, k);
                              });
            !st) {
            return st.error();
        }
        for (const Replicate& j : jack) {
            res.jackknifeFailed += j.outcome == Outcome::Used ? 0 : 1;
        }
    }

    // Everything below runs in replicate order, so no sum depends on the threads.
    tallyReplicates(reps, res);
    std::vector<double> xs;
    for (std::size_t s = 0; s < res.statistics.size(); ++s) {
        xs.clear();
        for (const auto& v : res.replicateValues) {
            if (!v.empty()) {
                xs.push_back(v[s]);
            }
        }
        summarizeStatistic(res.statistics[s], xs, jack, s, settings.interval);
    }
    return res;
}

} // namespace tavrik
