// Texts of the Mantel test: the summary that follows the report, and the file that adds the
// distances of every pair of populations. Lines end in CR LF like every result file.
#pragma once

#include "analysis/Mantel.h"

#include <string>

namespace tavrik {

// "Pearson" or "Spearman".
std::string mantelMethodName(MantelMethod method);

// The method, the permutations and the seed, how p is computed, the notes, and r and p of
// every matrix, six decimals; starts with an empty line.
std::string mantelSummaryText(const MantelResult& result);

// The summary, then one line per pair of populations with its geographic distance and the
// run's distances, six decimals.
std::string mantelOutputText(const MantelResult& result);

} // namespace tavrik
