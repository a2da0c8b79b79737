// Texts of the heritability sweep and of the bootstrap: their CSV files and the bootstrap's
// plain-text summary. Lines end in CR LF like every result file; numbers in the CSV files are
// the shortest decimal text that reads back to the same double, so nothing is lost.
#pragma once

#include "analysis/Bootstrap.h"
#include "analysis/HeritabilitySweep.h"

#include <string>

namespace tavrik {

// "Heritability,Fst,Unbiased Fst,Fst se," then one column "r[ii] NAME" per population; one
// line per heritability, the heritability as generated (e.g. 0.25).
std::string sweepCsvText(const SweepTable& table);

// "Statistic,Population,Population2,Estimate,Analytic se,Bootstrap se,P2.5,P97.5"; one line
// per statistic; a value that could not be computed is written NA.
std::string bootstrapCsvText(const BootstrapResult& result);

// The summary that follows the report: seed, replicates used and failed, and per statistic
// the estimate, the two standard errors and the percentile interval, six decimals.
std::string bootstrapSummaryText(const BootstrapResult& result);

// Shortest round-trip text of a double; NA for a value that is not finite.
std::string exactNumberText(double value);

} // namespace tavrik
