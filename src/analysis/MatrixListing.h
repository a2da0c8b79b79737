// The matrix listing (R and D-square with standard errors, and the scaled matrices when
// analysed) and the end-of-run rule that decides what the screen shows.
#pragma once

#include "analysis/RMatrix.h"
#include "analysis/ScaledMatrix.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tavrik {

// scaled: nullptr unless the run analysed the scaled matrix.
std::string writeMatrixListing(const std::vector<std::string>& populationNames,
                               const Relationship& rel,
                               const ScaledMatrices* scaled);

struct ScreenOutcome
{
    std::string screenText;
    bool outputFitsScreen = false;
    bool showMatrices = false;
    bool warnOutputTooLarge = false;
};

// Report and listing together fit the screen when they stay below limitBytes. The listing is
// appended only when it fits and was asked for; asking for it when it does not fit warns and
// clears the request.
ScreenOutcome decideScreen(const std::string& report,
                           const std::string& listing,
                           bool showMatrices,
                           std::size_t limitBytes);

} // namespace tavrik
