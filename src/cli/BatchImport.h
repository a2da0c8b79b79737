// tavrik-batch --import-csv: a CSV table of measurements converted into a .tvk data file,
// without an analysis.
#pragma once

#include "cli/BatchOptions.h"

#include <ostream>

namespace tavrik {

// Reads options.importCsv (and options.censusSizesPath), chooses the population column and
// the variables by name and writes options.outputPath whole or not at all ("-": to out).
// Missing values are written as NA, counted by variable in a note on err. Rows with a value
// that is not a number, or no population, stop the import (status 3) unless
// options.leaveOutBadRows is set; then a note on err says which were left out.
int runImport(const BatchOptions& options, std::ostream& out, std::ostream& err);

} // namespace tavrik
