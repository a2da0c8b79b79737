// The populations and variables of a data set chosen by name, as tavrik-batch and the engine's
// callers name them.
#pragma once

#include "state/ProgramState.h"
#include "state/Result.h"

#include <string>
#include <vector>

namespace tavrik {

// Positional selection from names. Empty lists choose everything; a name given twice counts
// once; the flags follow file order whatever the order of the names. Refuses unknown names,
// names shared by two entries, fewer than two populations and no variable; the message has
// one line per complaint.
Result<Selection> selectByName(const DataSet& dataSet,
                               const std::vector<std::string>& populations,
                               const std::vector<std::string>& variables);

} // namespace tavrik
