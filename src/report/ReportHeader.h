// The nine-line header that File Open shows, and the title lines it shares with the report.
#pragma once

#include "report/Clock.h"
#include "report/ReportWriter.h"

#include <string>

namespace tavrik {

// The lines that open both the File Open header and the report: "TAVRIK 5.0", the date
// line, two empty lines, "Data file = ", an empty line, "Data set: " and an empty line.
void writeTitleLines(ReportWriter& out,
                     const std::string& dataPath,
                     const std::string& title,
                     const Clock& clock);

// The title lines, then "Data available for ..." -- every line ended by CR LF.
std::string fileOpenHeader(const std::string& dataPath,
                           const std::string& title,
                           long popCount,
                           long varCount,
                           const Clock& clock);

} // namespace tavrik
