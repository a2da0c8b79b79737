// The Mantel test of a finished run against geography: the correlation between the distances
// of the run (D-square, and the scaled D-square after a scaled run) and the geographic
// distances between the same populations, with a one-sided permutation p-value.
#pragma once

#include "analysis/Bootstrap.h"
#include "analysis/ProgressSink.h"
#include "datafile/GeographyFile.h"
#include "state/Matrix.h"
#include "state/ProgramState.h"
#include "state/Result.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tavrik {

enum class MantelMethod { Pearson, Spearman };

// Greater: p counts the permutations whose r reaches the observed r; TwoSided: those whose |r|
// reaches the observed |r|.
enum class MantelAlternative { Greater, TwoSided };

inline constexpr std::size_t defaultMantelPermutations = 9999;
inline constexpr std::size_t maxMantelPermutations = 10000000;
// Up to this many populations every order of them can be tried (9! = 362880).
inline constexpr std::size_t exhaustiveMantelLimit = 9;
// A permuted r this close below the observed one counts as reaching it: permuting the pairs
// sums the same products in another order, and rounding must not decide a tie.
inline constexpr double mantelTieTolerance = 1e-12;

struct MantelSettings
{
    MantelMethod method = MantelMethod::Pearson;
    std::size_t permutations = defaultMantelPermutations;
    bool exhaustive = false; // every order of the populations instead of random ones
    MantelAlternative alternative = MantelAlternative::Greater;
    std::uint64_t seed = defaultBootstrapSeed; // the bootstrap's seed is the Mantel test's too
    unsigned threads = 0;                      // 0: every core
};

// The matrices to compare, all g x g in the order of populations.
struct MantelInput
{
    std::vector<std::string> populations;
    Matrix geographic;
    std::vector<std::string> matrixNames; // "D-square", "Scaled D-square"
    std::vector<Matrix> matrices;
    std::string geographyName; // the geography file's name, for the texts
    bool greatCircle = true;   // the distances are great-circle km from coordinates
    std::vector<std::string> notes;
};

// The run's D-square matrix (and the scaled one when scaled) against the geography file's
// distances between the run's populations; fails when the file lacks one of them.
[[nodiscard]] Result<MantelInput>
mantelInputFrom(const AnalysisResults& results, bool scaled, const Geography& geography);

struct MantelMatrixResult
{
    std::string name;
    double r = 0.0;
    std::size_t atLeast = 0; // permutations whose r reached the observed one
    double p = 1.0;
    std::vector<double> values; // upper triangle (i < j, row by row), as the chart shows it
};

struct MantelResult
{
    MantelMethod method = MantelMethod::Pearson;
    std::uint64_t seed = 0;
    std::size_t permutations = 0; // tried: as asked, or g! when exhaustive
    bool exhaustive = false;
    MantelAlternative alternative = MantelAlternative::Greater;
    std::vector<std::string> populations;
    std::vector<std::string> notes;
    std::string geographyName;
    bool greatCircle = true;
    std::vector<double> geographic; // upper triangle, in the order of values
    std::vector<MantelMatrixResult> matrices;
};

// The elements above the diagonal, row by row: (0,1), (0,2), ..., (1,2), ...
std::vector<double> upperTriangle(const Matrix& m);

// Ranks from 1; tied values share the average of the ranks they cover.
std::vector<double> averageRanks(const std::vector<double>& values);

// Pearson's r of two series of equal length: the sums of products of deviations from the
// means. NaN when either series is constant.
double pearsonCorrelation(const std::vector<double>& x, const std::vector<double>& y);

// Permutation k (0-based) of g populations, drawn from its own stream
// replicateStreamStart(seed, k) by a Fisher-Yates shuffle from the last position down; the
// permutations do not depend on one another or on the threads that draw them.
std::vector<std::size_t> mantelPermutation(std::uint64_t seed, std::uint64_t k, std::size_t g);

// The test of every matrix of the input. The geographic matrix's rows and columns are
// permuted together; p = (permutations reaching the observed r + 1) / (permutations + 1), or,
// when exhaustive, (orders reaching it) / g!, the identity among them. When g! is not more
// than the permutations asked for, every order is tried instead (an exact p for less work).
// Spearman ranks both
// upper triangles first. Needs at least 3 populations, no constant series, and at most
// exhaustiveMantelLimit populations when exhaustive. Reports the permutations done through
// progress.stepProgress and stops with a Cancelled error when progress.cancelled() turns true.
[[nodiscard]] Result<MantelResult>
runMantel(const MantelInput& input, const MantelSettings& settings, ProgressSink& progress);
[[nodiscard]] Result<MantelResult> runMantel(const MantelInput& input,
                                             const MantelSettings& settings);

} // namespace tavrik
