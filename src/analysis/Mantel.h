// The Mantel test of a finished run against geography: the correlation between the distances
// of the run (D-square, and the scaled D-square after a scaled run) and the geographic
// distances between the same populations, with a one-sided permutation p-value; and the partial
// test, which holds a second distance matrix (time, language, another distance) constant.
#pragma once

#include "analysis/Bootstrap.h"
#include "analysis/ProgressSink.h"
#include "datafile/GeographyFile.h"
#include "state/Matrix.h"
#include "state/ProgramState.h"
#include "state/Result.h"

#include <cstddef>
#include <cstdint>
#include <optional>
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
// The partial correlation divides by sqrt(1 - r^2) of the control's correlations; below this
// the control and the other matrix carry the same order of distances and r(AB.C) is not
// defined (and past rounding, its digits would be noise).
inline constexpr double partialMantelCollinearity = 1e-10;

struct MantelSettings
{
    MantelMethod method = MantelMethod::Pearson;
    std::size_t permutations = defaultMantelPermutations;
    bool exhaustive = false; // every order of the populations instead of random ones
    MantelAlternative alternative = MantelAlternative::Greater;
    std::uint64_t seed = defaultBootstrapSeed; // the bootstrap's seed is the Mantel test's too
    unsigned threads = 0;                      // 0: every core
};

// The distances held constant by the partial test, g x g in the order of populations.
struct MantelControl
{
    Matrix distances;
    std::string fileName;    // for the texts
    bool greatCircle = true; // great-circle km from coordinates
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
    std::optional<MantelControl> control; // the partial test too, when given
};

// The run's D-square matrix (and the scaled one when scaled) against the geography file's
// distances between the run's populations, and the control file's when one is given; fails when
// a file lacks one of them.
[[nodiscard]] Result<MantelInput> mantelInputFrom(const AnalysisResults& results,
                                                  bool scaled,
                                                  const Geography& geography,
                                                  const Geography* control = nullptr);

// r(A, B | C), the partial correlation of the Smouse-Long-Sokal test from the three pairwise
// correlations: (rAB - rAC rBC) / sqrt((1 - rAC^2)(1 - rBC^2)); NaN when either factor under
// the root is not above partialMantelCollinearity.
double partialCorrelation(double rAB, double rAC, double rBC);

// The partial test of one matrix A against the geography B, the control C held constant; the
// populations of A are permuted.
struct MantelPartialResult
{
    double rControl = 0.0; // r(A, C)
    double r = 0.0;        // r(A, B | C)
    std::size_t atLeast = 0;
    double p = 1.0;
};

struct MantelMatrixResult
{
    std::string name;
    double r = 0.0;
    std::size_t atLeast = 0; // permutations whose r reached the observed one
    double p = 1.0;
    std::vector<double> values; // upper triangle (i < j, row by row), as the chart shows it
    std::optional<MantelPartialResult> partial;
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
    // The partial test's control: its file, its distances in the order of values, and
    // r(geographic, control); no file name when there was no control.
    std::string controlName;
    bool controlGreatCircle = true;
    std::vector<double> control;
    double rGeographicControl = 0.0;
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
// upper triangles first. With a control, each matrix is also tested partially: the same
// permutation k orders the populations of the matrix (not the geography's), and p counts the
// partial r that reach the observed one in the same way. Needs at least 3 populations, no
// constant series, a control not collinear with the geography or a matrix, and at most
// exhaustiveMantelLimit populations when exhaustive. Reports the permutations done through
// progress.stepProgress and stops with a Cancelled error when progress.cancelled() turns true.
[[nodiscard]] Result<MantelResult>
runMantel(const MantelInput& input, const MantelSettings& settings, ProgressSink& progress);
[[nodiscard]] Result<MantelResult> runMantel(const MantelInput& input,
                                             const MantelSettings& settings);

} // namespace tavrik
