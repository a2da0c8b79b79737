// The nine-line header that File Open shows, and the joining of report lines for the window.
#pragma once

#include "report/Clock.h"

#include <string>

namespace tavrik {

// "TAVRIK 5.0", date line, two empty lines, "Data file = ", empty, "Data set: ", empty,
// "Data available for ..." -- every line ended by CR LF.
std::string fileOpenHeader(const std::string& dataPath,
                           const std::string& title,
                           long popCount,
                           long varCount,
                           const Clock& clock);

} // namespace tavrik
