#include "analysis/Mantel.h"

#include "analysis/RunMemory.h"
#include "analysis/WorkerPool.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <numeric>
#include <thread>

namespace tavrik {

// Indices are 0-based: population i, j; pair k of the upper triangle; permutation k.

namespace {

// Permutations a worker takes at a time; progress is told once per batch.
constexpr std::size_t permutationBatch = 256;

Error mantelError(std::string message)
{
    return Error::analysis(std::move(message), {}, 0, "Mantel test");
}

// The upper triangle of m with its rows and columns taken in the order perm.
void permutedUpperTriangle(const Matrix& m,
                           const std::vector<std::size_t>& perm,
                           std::vector<double>& out)
{
    const std::size_t g = perm.size();
    out.clear();
    for (std::size_t i = 0; i + 1 < g; ++i) {
        for (std::size_t j = i + 1; j < g; ++j) {
            out.push_back(m(perm[i], perm[j]));
        }
    }
}

// A symmetric matrix holding the given upper triangle.
Matrix symmetricFrom(const std::vector<double>& upper, std::size_t g)
{
    Matrix m(g, g);
    std::size_t k = 0;
    for (std::size_t i = 0; i + 1 < g; ++i) {
        for (std::size_t j = i + 1; j < g; ++j) {
            m(i, j) = upper[k];
            m(j, i) = upper[k];
            ++k;
        }
    }
    return m;
}

std::size_t factorial(std::size_t n)
{
    std::size_t f = 1;
    for (std::size_t k = 2; k <= n; ++k) {
        f *= k;
    }
    return f;
}

// The memory of a test of g populations, estimated before anything is allocated: the series of
// the distances (each matrix's, its ranks and the geographic ones) and a g x g matrix of the
// compared geography, and one permuted series per thread; the partial test adds the control's
// series, a g x g matrix per matrix and a second permuted series per thread.
Status checkMantelMemory(std::size_t g, std::size_t matrices, bool partial, unsigned threads)
{
    const std::uint64_t pairs = std::uint64_t{g} * (g > 0 ? g - 1 : 0) / 2;
    const unsigned workers = threads != 0 ? threads : std::thread::hardware_concurrency();
    const std::uint64_t series = 3 * std::uint64_t{matrices} + 3 + workers;
    const std::uint64_t need =
        ((series + (partial ? 2 + workers : 0)) * pairs +
         std::uint64_t{g} * g * (1 + (partial ? std::uint64_t{matrices} : 0))) *
        sizeof(double);
    const std::uint64_t available = availableMemoryBytes();
    if (available == 0 || need <= available / 2) {
        return Done{};
    }
    return mantelError("The Mantel test of " + std::to_string(g) + " populations needs about " +
                       memoryText(need) + ", more than half of the " + memoryText(available) +
                       " of memory this program may use");
}

} // namespace

std::vector<double> upperTriangle(const Matrix& m)
{
    std::vector<std::size_t> identity(m.rows());
    std::iota(identity.begin(), identity.end(), std::size_t{0});
    std::vector<double> out;
    permutedUpperTriangle(m, identity, out);
    return out;
}

std::vector<double> averageRanks(const std::vector<double>& values)
{
    const std::size_t n = values.size();
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&values](std::size_t a, std::size_t b) {
        return values[a] < values[b];
    });
    std::vector<double> ranks(n);
    for (std::size_t first = 0; first < n;) {
        std::size_t last = first + 1;
        while (last < n && values[order[last]] == values[order[first]]) {
            ++last;
        }
        // positions first..last-1 hold ranks first+1..last; their mean:
        const double rank = static_cast<double>(first + 1 + last) / 2.0;
        for (std::size_t k = first; k < last; ++k) {
            ranks[order[k]] = rank;
        }
        first = last;
    }
    return ranks;
}

double pearsonCorrelation(const std::vector<double>& x, const std::vector<double>& y)
{
    assert(x.size() == y.size() && !x.empty());
    const auto n = static_cast<double>(x.size());
    double sx = 0.0;
    double sy = 0.0;
    for (std::size_t k = 0; k < x.size(); ++k) {
        sx += x[k];
        sy += y[k];
    }
    const double mx = sx / n;
    const double my = sy / n;
    double sxy = 0.0;
    double sxx = 0.0;
    double syy = 0.0;
    for (std::size_t k = 0; k < x.size(); ++k) {
        const double dx = x[k] - mx;
        const double dy = y[k] - my;
        sxy += dx * dy;
        sxx += dx * dx;
        syy += dy * dy;
    }
    if (!(sxx > 0.0) || !(syy > 0.0)) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    return sxy / std::sqrt(sxx * syy);
}

std::vector<std::size_t> mantelPermutation(std::uint64_t seed, std::uint64_t k, std::size_t g)
{
    std::vector<std::size_t> perm(g);
    std::iota(perm.begin(), perm.end(), std::size_t{0});
    SplitMix64 gen(replicateStreamStart(seed, k));
    for (std::size_t i = g; i > 1; --i) {
        const auto j = static_cast<std::size_t>(uniformBelow(gen, i));
        std::swap(perm[i - 1], perm[j]);
    }
    return perm;
}

double partialCorrelation(double rAB, double rAC, double rBC)
{
    const double a = 1.0 - rAC * rAC;
    const double b = 1.0 - rBC * rBC;
    if (!(a > partialMantelCollinearity) || !(b > partialMantelCollinearity)) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    return (rAB - rAC * rBC) / std::sqrt(a * b);
}

Result<MantelInput> mantelInputFrom(const AnalysisResults& results,
                                    bool scaled,
                                    const Geography& geography,
                                    const Geography* control)
{
    MantelInput input;
    input.populations = results.populationNames;
    Result<Matrix> geo = distancesFor(geography, input.populations, input.notes);
    if (!geo) {
        return geo.error();
    }
    input.geographic = std::move(*geo);
    input.geographyName = geography.displayName;
    input.greatCircle = geography.kind == GeographyKind::Coordinates;
    if (control != nullptr) {
        Result<Matrix> distances = distancesFor(*control, input.populations, input.notes);
        if (!distances) {
            return distances.error();
        }
        input.control = MantelControl{std::move(*distances),
                                      control->displayName,
                                      control->kind == GeographyKind::Coordinates};
    }
    input.matrixNames.push_back("D-square");
    input.matrices.push_back(results.dSquare);
    if (scaled) {
        input.matrixNames.push_back("Scaled D-square");
        input.matrices.push_back(results.scaledDSquare);
    }
    return input;
}

Result<MantelResult> runMantel(const MantelInput& input, const MantelSettings& settings)
{
    NullProgress quiet;
    return runMantel(input, settings, quiet);
}

namespace {

Status checkMantelRequest(const MantelInput& input, const MantelSettings& settings)
{
    const std::size_t g = input.populations.size();
    if (g < 3) {
        return mantelError("The Mantel test needs at least 3 populations, so that there are 3 "
                           "distances to correlate; the run has " +
                           std::to_string(g));
    }
    if (settings.exhaustive && g > exhaustiveMantelLimit) {
        return mantelError("Every order of the populations can be tried for at most " +
                           std::to_string(exhaustiveMantelLimit) + " populations; the run has " +
                           std::to_string(g) + ". Give a number of permutations instead.");
    }
    return checkMantelMemory(g, input.matrices.size(), input.control.has_value(), settings.threads);
}

// What every order of the populations is compared with.
struct MantelSeries
{
    Matrix geoCompared;                        // the geography, or its ranks, g x g
    std::vector<std::vector<double>> compared; // per matrix: its distances, or their ranks
    std::vector<double> observed;              // per matrix: r in the populations' own order
    bool twoSided = false;
    // The partial test's: each matrix's compared distances as a g x g matrix to permute, the
    // geographic and the control's compared series, r(geographic, control) and the observed
    // partial r per matrix. No matrices without a control.
    std::vector<Matrix> partialCompared;
    std::vector<double> geoSeries;
    std::vector<double> controlSeries;
    double rGeoControl = 0.0;
    std::vector<double> observedPartial;

    // Counts kept per order: each matrix's plain test, then each matrix's partial test.
    std::size_t counters() const { return compared.size() + partialCompared.size(); }
    bool reaches(double r, double observedR) const
    {
        return twoSided ? std::fabs(r) >= std::fabs(observedR) - mantelTieTolerance
                        : r >= observedR - mantelTieTolerance;
    }
};

// Why r(AB.C) cannot be formed: which correlation with the control is (nearly) perfect.
Error collinearControl(const std::string& controlName, const std::string& other, double r)
{
    return mantelError("The partial Mantel test is not defined: the " + other +
                       " and the control distances in " + controlName +
                       " are perfectly correlated (r = " + std::to_string(r) +
                       "), so nothing is left of them once the control is held constant");
}

// The observed r(AB.C) of each matrix with the geography, the control held constant.
Status
observedPartials(const MantelInput& input, bool ranked, MantelSeries& series, MantelResult& res)
{
    const std::size_t g = input.populations.size();
    res.controlName = input.control->fileName;
    res.controlGreatCircle = input.control->greatCircle;
    res.control = upperTriangle(input.control->distances);
    series.controlSeries = ranked ? averageRanks(res.control) : res.control;
    series.rGeoControl = pearsonCorrelation(series.geoSeries, series.controlSeries);
    if (std::isnan(series.rGeoControl)) {
        return mantelError("The partial Mantel test is not defined: every control distance in " +
                           res.controlName + " between the populations of the run is the same");
    }
    res.rGeographicControl = series.rGeoControl;
    if (std::isnan(partialCorrelation(0.0, 0.0, series.rGeoControl))) {
        return collinearControl(res.controlName, "geographic distances", series.rGeoControl);
    }
    for (std::size_t m = 0; m < series.compared.size(); ++m) {
        MantelMatrixResult& mr = res.matrices[m];
        MantelPartialResult part;
        part.rControl = pearsonCorrelation(series.compared[m], series.controlSeries);
        part.r = partialCorrelation(mr.r, part.rControl, series.rGeoControl);
        if (std::isnan(part.r)) {
            return collinearControl(res.controlName, mr.name + " distances", part.rControl);
        }
        series.partialCompared.push_back(symmetricFrom(series.compared[m], g));
        series.observedPartial.push_back(part.r);
        mr.partial = part;
    }
    return Done{};
}

// The observed correlation of each matrix with the geography, into res.matrices.
Result<MantelSeries>
observedCorrelations(const MantelInput& input, const MantelSettings& settings, MantelResult& res)
{
    const std::size_t g = input.populations.size();
    const bool ranked = settings.method == MantelMethod::Spearman;
    MantelSeries series;
    series.twoSided = settings.alternative == MantelAlternative::TwoSided;
    series.geoCompared = ranked ? symmetricFrom(averageRanks(res.geographic), g) : input.geographic;
    series.geoSeries = upperTriangle(series.geoCompared);
    const std::vector<double>& geoSeries = series.geoSeries;
    for (std::size_t m = 0; m < input.matrices.size(); ++m) {
        MantelMatrixResult mr;
        mr.name = input.matrixNames[m];
        mr.values = upperTriangle(input.matrices[m]);
        for (const double v : mr.values) {
            if (!std::isfinite(v)) {
                return mantelError("The " + mr.name +
                                   " matrix holds a value that is not a "
                                   "number; the Mantel test cannot use it");
            }
        }
        series.compared.push_back(ranked ? averageRanks(mr.values) : mr.values);
        mr.r = pearsonCorrelation(series.compared.back(), geoSeries);
        if (std::isnan(mr.r)) {
            return mantelError(std::string("The correlation is not defined: every ") +
                               (std::isnan(pearsonCorrelation(geoSeries, geoSeries))
                                    ? "geographic distance"
                                    : mr.name + " distance") +
                               " between the populations of the run is the same");
        }
        series.observed.push_back(mr.r);
        res.matrices.push_back(std::move(mr));
    }
    if (input.control) {
        if (Status partial = observedPartials(input, ranked, series, res); !partial) {
            return partial.error();
        }
    }
    return series;
}

// Adds to reached[m] whether matrix m's r under the order perm reaches the observed one: the
// geography's populations in that order; and to reached[matrices + m] whether its partial r
// does, the matrix's populations in that order. A partial r that is not defined under the order
// does not reach.
void countPermutation(const MantelSeries& series,
                      const std::vector<std::size_t>& perm,
                      std::vector<double>& permuted,
                      std::vector<std::size_t>& reached)
{
    const std::size_t matrices = series.compared.size();
    permutedUpperTriangle(series.geoCompared, perm, permuted);
    for (std::size_t m = 0; m < matrices; ++m) {
        if (series.reaches(pearsonCorrelation(series.compared[m], permuted), series.observed[m])) {
            ++reached[m];
        }
    }
    for (std::size_t m = 0; m < series.partialCompared.size(); ++m) {
        permutedUpperTriangle(series.partialCompared[m], perm, permuted);
        const double r = partialCorrelation(pearsonCorrelation(permuted, series.geoSeries),
                                            pearsonCorrelation(permuted, series.controlSeries),
                                            series.rGeoControl);
        if (!std::isnan(r) && series.reaches(r, series.observedPartial[m])) {
            ++reached[matrices + m];
        }
    }
}

// Every order once, the identity first; small enough for one thread.
Result<std::vector<std::size_t>> countEveryOrder(const MantelSeries& series,
                                                 std::size_t g,
                                                 std::size_t total,
                                                 ProgressSink& progress)
{
    std::vector<std::size_t> perm(g);
    std::iota(perm.begin(), perm.end(), std::size_t{0});
    std::vector<double> permuted;
    std::vector<std::size_t> reached(series.counters());
    std::size_t k = 0;
    do {
        if (k % permutationBatch == 0) {
            if (progress.cancelled()) {
                return cancelledRun();
            }
            progress.stepProgress(k, total);
        }
        countPermutation(series, perm, permuted, reached);
        ++k;
    } while (std::next_permutation(perm.begin(), perm.end()));
    return reached;
}

// `total` random orders, on the threads. The counts are whole numbers, so their sum does not
// depend on the threads or their order.
Result<std::vector<std::size_t>> countRandomOrders(const MantelSeries& series,
                                                   std::size_t g,
                                                   std::size_t total,
                                                   const MantelSettings& settings,
                                                   ProgressSink& progress)
{
    const std::size_t counters = series.counters();
    std::vector<std::atomic<std::size_t>> reached(counters);
    unsigned threads =
        settings.threads != 0 ? settings.threads : std::thread::hardware_concurrency();
    const std::size_t batches = (total + permutationBatch - 1) / permutationBatch;
    threads = static_cast<unsigned>(
        std::clamp<std::size_t>(threads, 1, std::max<std::size_t>(1, batches)));
    const auto makeWorker = [&] {
        return [&, permuted = std::vector<double>(), local = std::vector<std::size_t>(counters)](
                   std::size_t first, std::size_t last) mutable {
            for (std::size_t k = first; k < last; ++k) {
                countPermutation(series, mantelPermutation(settings.seed, k, g), permuted, local);
            }
            for (std::size_t c = 0; c < counters; ++c) {
                reached[c] += local[c];
                local[c] = 0;
            }
        };
    };
    if (auto st = runBatches(
            total, permutationBatch, threads, progress, true, "the Mantel test", makeWorker);
        !st) {
        return st.error();
    }
    std::vector<std::size_t> counts(counters);
    for (std::size_t c = 0; c < counters; ++c) {
        counts[c] = reached[c];
    }
    return counts;
}

} // namespace

Result<MantelResult>
runMantel(const MantelInput& input, const MantelSettings& settings, ProgressSink& progress)
{
    const std::size_t g = input.populations.size();
    assert(input.geographic.rows() == g && input.matrices.size() == input.matrixNames.size());
    if (auto st = checkMantelRequest(input, settings); !st) {
        return st.error();
    }
    // 20! is the largest factorial below 2^64
    constexpr std::size_t factorialLimit = 20;
    const bool exhaustive =
        settings.exhaustive || (g <= factorialLimit && factorial(g) <= settings.permutations);
    MantelResult res;
    res.method = settings.method;
    res.seed = settings.seed;
    res.exhaustive = exhaustive;
    res.alternative = settings.alternative;
    res.permutations = exhaustive ? factorial(g) : settings.permutations;
    res.populations = input.populations;
    res.notes = input.notes;
    res.geographyName = input.geographyName;
    res.greatCircle = input.greatCircle;
    res.geographic = upperTriangle(input.geographic);

    auto series = observedCorrelations(input, settings, res);
    if (!series) {
        return series.error();
    }
    const std::size_t total = res.permutations;
    auto reached = exhaustive ? countEveryOrder(*series, g, total, progress)
                              : countRandomOrders(*series, g, total, settings, progress);
    if (!reached) {
        return reached.error();
    }
    progress.stepProgress(total, total);

    const auto pOf = [&](std::size_t atLeast) {
        return exhaustive ? static_cast<double>(atLeast) / static_cast<double>(total)
                          : static_cast<double>(atLeast + 1) / static_cast<double>(total + 1);
    };
    for (std::size_t m = 0; m < res.matrices.size(); ++m) {
        MantelMatrixResult& mr = res.matrices[m];
        mr.atLeast = (*reached)[m];
        mr.p = pOf(mr.atLeast);
        if (mr.partial) {
            mr.partial->atLeast = (*reached)[res.matrices.size() + m];
            mr.partial->p = pOf(mr.partial->atLeast);
        }
    }
    return res;
}

} // namespace tavrik
