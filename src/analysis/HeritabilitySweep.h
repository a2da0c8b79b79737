// The R-matrix statistics of a finished run recomputed over a range of heritabilities. The
// heritability enters only at the last step before the inversion (heritability x pooled
// covariance), so the pass statistics of the run serve every point and no record is read again.
#pragma once

#include "analysis/AnalysisRun.h"
#include "analysis/DataPasses.h"
#include "analysis/RMatrix.h"
#include "state/Result.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavrik {

struct SweepPoint
{
    std::string text;   // the heritability as a user would type it, e.g. "0.25"
    float heritability; // that text read as a run reads it: decimal -> double -> float
};

inline constexpr std::size_t maxSweepPoints = 100000;

// Reads FROM:TO:STEP, three plain decimals (digits with at most one point) with
// 0 < FROM <= TO <= 1 and STEP > 0. The points are FROM + i x STEP for i = 0, 1, ... while they
// do not pass TO, computed exactly in whole units of the finest decimal place of the three
// numbers (so 0.2:1:0.05 gives 0.20, 0.25, ..., 1.00 and never 0.30000000000000004), then
// written with that many decimals and read as the --heritability option reads its value. An
// error's field names the part found wrong: "FROM", "TO" or "STEP" (empty: the form).
[[nodiscard]] Result<std::vector<SweepPoint>> heritabilityRange(std::string_view rangeText);

struct SweepRow
{
    SweepPoint point;
    double fst = 0.0;
    double fstUnbiased = 0.0;
    double fstSe = 0.0;
    std::vector<double> rDiagonal; // r(ii), corrected for sampling bias when the run corrects
};

struct SweepTable
{
    std::vector<std::string> popNames;
    bool biasCorrection = true;
    std::vector<SweepRow> rows; // in the order of the points
};

// One row per point, from the run's pass statistics and bias setting. The first point whose
// matrix cannot be inverted stops the sweep with a message naming its heritability.
[[nodiscard]] Result<SweepTable> heritabilitySweep(const RunBasis& basis,
                                                   std::span<const SweepPoint> points);

} // namespace tavrik
