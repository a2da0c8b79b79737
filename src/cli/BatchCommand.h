// tavrik-batch as a function of its arguments: what the program does between reading its
// command line and exiting, for the program itself and for the web page's engine, which runs
// the same command lines in the browser.
#pragma once

#include <ostream>
#include <string_view>
#include <vector>

namespace tavrik {

// Runs tavrik-batch with these arguments (without the program's name), dating the report by
// sourceDateEpoch as SOURCE_DATE_EPOCH does (null: now), and returns the exit status. The
// report, help and version go to out, every message to err.
int runBatchCommand(const std::vector<std::string_view>& args,
                    const char* sourceDateEpoch,
                    std::ostream& out,
                    std::ostream& err);

} // namespace tavrik
