#include "analysis/Bootstrap.h"

#include "analysis/HeritabilitySweep.h"
#include "analysis/RunMemory.h"
#include "analysis/WorkerPool.h"
#include "datafile/DataFileReader.h"
#include "datafile/TextEncoding.h"

#include <algorithm>
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

Error changedFile(const std::string& dataPath)
{
    return Error{ErrorKind::DataFile, dataFileChangedMessage, dataPath, 0, {}};
}

constexpr const char* singularMessage = "Matrix could not be inverted";

enum class Outcome { Used, Singular, Failed };

struct Replicate
{
    Outcome outcome = Outcome::Failed;
    std::vector<double> values;
    std::string message;
};

// Fst, unbiased Fst, the diagonal of R, and the distances above the diagonal, row by row.
std::vector<double> statisticValues(const Relationship& rel)
{
    const std::size_t g = rel.r.rows();
    std::vector<double> v;
    v.reserve(2 + g + g * (g - 1) / 2);
    v.push_back(rel.fst);
    v.push_back(rel.fstUnbiased);
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

// The replicate's records go through the accumulator population by population, each in the
// order drawn: as the records of a data file holding them in that order would.
Replicate runReplicate(const RecordTable& records,
                       const RunBasis& basis,
                       const PassSetup& local,
                       std::uint64_t seed,
                       std::size_t r)
{
    const std::size_t g = records.populations.size();
    const std::size_t t = local.varPositions.size();
    SplitMix64 gen(replicateStreamStart(seed, r));
    std::vector<std::vector<std::size_t>> drawn(g);
    for (std::size_t i = 0; i < g; ++i) {
        const std::size_t n = records.populations[i].rows();
        drawn[i].resize(n);
        for (std::size_t d = 0; d < n; ++d) {
            drawn[i][d] = static_cast<std::size_t>(uniformBelow(gen, n));
        }
    }
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
    auto rel =
        relationshipAt(acc.results(), local.popWeights, basis.heritability, basis.biasCorrection);
    if (!rel) {
        rep.message = rel.error().message;
        rep.outcome = rep.message == singularMessage ? Outcome::Singular : Outcome::Failed;
        return rep;
    }
    rep.outcome = Outcome::Used;
    rep.values = statisticValues(*rel);
    return rep;
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
    return Error{ErrorKind::Analysis,
                 "The bootstrap needs about " + memoryText(need) + " for " +
                     std::to_string(replicates) + " replicates of " + std::to_string(statistics) +
                     " statistics, more than half of the " + memoryText(available) +
                     " of memory this program may use; ask for fewer replicates.",
                 {},
                 0,
                 "bootstrap"};
}

} // namespace

Result<RecordTable>
loadChosenRecords(const DataSet& dataSet, const RunBasis& basis, std::uint64_t budgetBytes)
{
    const std::size_t g = basis.setup.popNames.size();
    const std::size_t t = basis.setup.varPositions.size();
    const auto records = static_cast<std::uint64_t>(basis.passes.totalSampleSize);
    const std::uint64_t needed = records * t * sizeof(double);
    if (needed > budgetBytes) {
        constexpr std::uint64_t mib = std::uint64_t{1} << 20;
        std::string neededText = std::to_string(needed) + " bytes";
        if (needed >= mib) {
            neededText += " (" + std::to_string((needed + mib - 1) / mib) + " MiB)";
        }
        const std::string budgetText = budgetBytes >= mib && budgetBytes % mib == 0
                                           ? std::to_string(budgetBytes / mib) + " MiB"
                                           : std::to_string(budgetBytes) + " bytes";
        return Error{ErrorKind::Analysis,
                     "The bootstrap holds the chosen records in memory: " +
                         std::to_string(records) + " records of " + std::to_string(t) +
                         " variables need " + neededText + ", more than the " + budgetText +
                         " it may use. Choose fewer variables or populations.",
                     {},
                     0,
                     "bootstrap"};
    }
    const std::string& path = dataSet.dataPath;
    auto reader = DataFileReader::open(path);
    if (!reader) {
        return reader.error();
    }
    // the file of the run, or nothing: a file rewritten since would mix two data sets
    if (reader->fileStamp() != basis.dataStamp) {
        return changedFile(path);
    }
    auto header = readRunHeader(*reader, path, dataSet.popCount, dataSet.varCount);
    if (!header) {
        return header.error();
    }
    RecordTable table;
    std::vector<std::size_t> filled(g, 0);
    for (std::size_t i = 0; i < g; ++i) {
        table.populations.emplace_back(static_cast<std::size_t>(basis.passes.sampleSizes[i]), t);
    }
    const PassAccumulator codes(basis.setup);
    std::vector<double> values(basis.setup.fileVarCount);
    double code = 0.0;
    for (;;) {
        auto more = reader->nextRecord(code, values);
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
            return changedFile(path);
        }
        for (std::size_t k = 0; k < t; ++k) {
            const double v = values[basis.setup.varPositions[k]];
            if (!std::isfinite(v)) {
                return changedFile(path);
            }
            m(filled[i], k) = v;
        }
        ++filled[i];
    }
    if (reader->fileStamp() != basis.dataStamp) {
        return changedFile(path);
    }
    for (std::size_t i = 0; i < g; ++i) {
        if (filled[i] != table.populations[i].rows()) {
            return changedFile(path);
        }
    }
    return table;
}

Result<BootstrapResult>
runBootstrap(const RecordTable& records, const RunBasis& basis, const BootstrapSettings& settings)
{
    NullProgress quiet;
    return runBootstrap(records, basis, settings, quiet);
}

Result<BootstrapResult> runBootstrap(const RecordTable& records,
                                     const RunBasis& basis,
                                     const BootstrapSettings& settings,
                                     ProgressSink& progress)
{
    const std::size_t g = basis.setup.popNames.size();
    const std::size_t t = basis.setup.varPositions.size();
    assert(records.populations.size() == g);

    // The replicates address the populations by index (codes 0..g-1) and the variables by
    // column of the table.
    PassSetup local = basis.setup;
    local.fileVarCount = t;
    for (std::size_t k = 0; k < t; ++k) {
        local.varPositions[k] = k;
    }
    for (std::size_t i = 0; i < g; ++i) {
        local.popCodes[i] = static_cast<std::int16_t>(i);
    }

    auto point = relationshipAt(
        basis.passes, basis.setup.popWeights, basis.heritability, basis.biasCorrection);
    if (!point) {
        return point.error();
    }

    BootstrapResult res;
    res.seed = settings.seed;
    res.replicates = settings.replicates;
    const std::vector<double> estimates = statisticValues(*point);
    const auto add = [&](StatisticKind kind, std::string p1, std::string p2, double se) {
        BootstrapStatistic st;
        st.kind = kind;
        st.population = std::move(p1);
        st.population2 = std::move(p2);
        st.estimate = estimates[res.statistics.size()];
        st.analyticSe = se;
        res.statistics.push_back(std::move(st));
    };
    add(StatisticKind::Fst, {}, {}, basis.fstSe);
    add(StatisticKind::FstUnbiased, {}, {}, basis.fstSe);
    for (std::size_t i = 0; i < g; ++i) {
        add(StatisticKind::RDiagonal, basis.setup.popNames[i], {}, basis.seDiagonal[i]);
    }
    for (std::size_t i = 0; i + 1 < g; ++i) {
        for (std::size_t j = i + 1; j < g; ++j) {
            add(StatisticKind::DSquare,
                basis.setup.popNames[i],
                basis.setup.popNames[j],
                basis.seDSquare(i, j));
        }
    }

    unsigned threads =
        settings.threads != 0 ? settings.threads : std::thread::hardware_concurrency();
    threads = std::max(1u, threads);
    if (threads > settings.replicates) {
        threads = static_cast<unsigned>(std::max<std::size_t>(1, settings.replicates));
    }
    if (auto st =
            checkBootstrapMemory(records, res.statistics.size(), settings.replicates, threads);
        !st) {
        return st.error();
    }
    std::vector<Replicate> reps(settings.replicates);
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> done{0};
    std::atomic<bool> stopped{false};
    std::atomic<bool> cancelled{false};
    const std::thread::id caller = std::this_thread::get_id();
    const auto work = [&] {
        for (std::size_t r = next++; r < reps.size(); r = next++) {
            if (stopped.load(std::memory_order_relaxed)) {
                return;
            }
            if (progress.cancelled()) {
                cancelled = true;
                stopped = true;
                return;
            }
            reps[r] = runReplicate(records, basis, local, settings.seed, r);
            const std::size_t finished = ++done;
            if (std::this_thread::get_id() == caller) {
                progress.stepProgress(finished, reps.size());
            }
        }
    };
    if (auto st = runOnThreads(threads, stopped, "the bootstrap", work); !st) {
        return st.error();
    }
    if (cancelled) {
        return cancelledRun();
    }
    progress.stepProgress(reps.size(), reps.size());

    // Everything below runs in replicate order, so no sum depends on the threads.
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
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> xs;
    for (std::size_t s = 0; s < res.statistics.size(); ++s) {
        xs.clear();
        for (const auto& v : res.replicateValues) {
            if (!v.empty()) {
                xs.push_back(v[s]);
            }
        }
        BootstrapStatistic& st = res.statistics[s];
        st.bootstrapSe = nan;
        st.lower = nan;
        st.upper = nan;
        if (xs.empty()) {
            continue;
        }
        if (xs.size() >= 2) {
            double sum = 0.0;
            for (const double x : xs) {
                sum += x;
            }
            const double mean = sum / static_cast<double>(xs.size());
            double squares = 0.0;
            for (const double x : xs) {
                squares += (x - mean) * (x - mean);
            }
            st.bootstrapSe = std::sqrt(squares / static_cast<double>(xs.size() - 1));
        }
        std::sort(xs.begin(), xs.end());
        st.lower = percentile(xs, 0.025);
        st.upper = percentile(xs, 0.975);
    }
    return res;
}

} // namespace tavrik
