// tavrik-batch: the analysis from the command line. Parses the options and hands over to
// runBatch (or runImport); nothing else happens here but settling the standard descriptors.
#include "cli/BatchChart.h"
#include "cli/BatchImport.h"
#include "cli/BatchOptions.h"
#include "cli/BatchRun.h"
#include "io/Platform.h"
#include "state/Version.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::string versionText()
{
    return std::string("tavrik-batch ") + tavrik::programVersion + "\n" +
           "License GPL-3.0-or-later: GNU GPL version 3 or later "
           "<https://gnu.org/licenses/gpl.html>.\n"
           "This is free software: you are free to change and redistribute it.\n"
           "There is NO WARRANTY, to the extent permitted by law.\n";
}

int batchMain(int argc, char** argv)
{
    const std::vector<std::string> given = tavrik::programArguments(argc, argv);
    const std::vector<std::string_view> args(given.begin(), given.end());
    tavrik::Result<tavrik::BatchOptions> options = tavrik::parseBatchOptions(args);
    if (!options) {
        tavrik::printBatchMessage(std::cerr, options.error().message);
        std::cerr << "Try 'tavrik-batch --help' for more information.\n";
        return static_cast<int>(tavrik::BatchExit::Usage);
    }
    if (options->help || options->version) {
        errno = 0;
        std::cout << (options->help ? tavrik::batchUsage() : versionText()) << std::flush;
        // A full or closed standard output must not pass for a printed text.
        if (!std::cout) {
            const int err = errno;
            std::cerr << "tavrik-batch: cannot write to standard output"
                      << (err != 0 ? std::string(": ") + std::strerror(err) : std::string())
                      << '\n';
            return static_cast<int>(tavrik::BatchExit::CannotProceed);
        }
        return static_cast<int>(tavrik::BatchExit::Done);
    }
    if (options->importCsv) {
        return tavrik::runImport(*options, std::cout, std::cerr);
    }
    tavrik::Result<tavrik::Clock> clock = tavrik::reportClock(std::getenv("SOURCE_DATE_EPOCH"));
    if (!clock) {
        tavrik::printBatchMessage(std::cerr, clock.error().message);
        return tavrik::exitStatusFor(clock.error().kind);
    }
    return tavrik::runBatch(*options,
                            *clock,
                            std::cout,
                            std::cerr,
                            tavrik::drawBatchChart,
                            tavrik::drawBatchSweepChart,
                            tavrik::drawBatchTreeChart,
                            tavrik::batchChartFormats);
}

} // namespace

int main(int argc, char** argv)
{
    tavrik::settleStandardStreams();
    try {
        return batchMain(argc, argv);
    } catch (const std::bad_alloc&) {
        std::cerr << "tavrik-batch: the computer has not enough memory for this run\n";
        return static_cast<int>(tavrik::BatchExit::CannotProceed);
    }
}
