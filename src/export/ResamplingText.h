// Texts of the heritability sweep and of the bootstrap: their CSV files and the bootstrap's
// plain-text summary. Lines end in CR LF like every result file; numbers in the CSV files are
// the shortest decimal text that reads back to the same double, so nothing is lost.
#pragma once

#include "analysis/Bootstrap.h"
#include "analysis/HeritabilitySweep.h"

#include <string>

namespace tavrik {

// "Heritability,Fst,Unbiased Fst,Fst se," (no "Unbiased Fst" without the bias correction)
// then one column "r[ii] NAME" per population; one line per heritability, the heritability as
// generated (e.g. 0.25).
std::string sweepCsvText(const SweepTable& table);

// "Statistic,Population,Population2,Estimate,Analytic se,Bootstrap mean,Bias,Bootstrap se,"
// the two limits (named for the interval kind), then the run's interval kind, seed and
// replicate counts on every line; a value that could not be computed is written NA.
std::string bootstrapCsvText(const BootstrapResult& result);

// The summary that follows the report: seed, interval and its definition, replicates used and
// failed, notes on what makes the intervals unreliable, and per statistic the estimate, the
// analytic se, the bootstrap mean, bias and se, and the interval, six decimals.
std::string bootstrapSummaryText(const BootstrapResult& result);

// "Fst", "Unbiased Fst", "r(ii)" or "D-square": the statistic as every table and file names it.
std::string statisticName(StatisticKind kind);

// "percentile", "basic" or "bca", as the option and the files name it.
std::string intervalKeyword(IntervalKind kind);

// One line defining the result's interval (the jackknife's grouping included).
std::string intervalDefinition(const BootstrapResult& result);

// Shortest round-trip text of a double; NA for a value that is not finite.
std::string exactNumberText(double value);

} // namespace tavrik
