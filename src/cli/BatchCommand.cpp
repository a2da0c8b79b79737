#include "cli/BatchCommand.h"

#include "cli/BatchChart.h"
#include "cli/BatchImport.h"
#include "cli/BatchOptions.h"
#include "cli/BatchRun.h"
#include "state/Version.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <string>

namespace tavrik {

namespace {

std::string versionText()
{
    return std::string("tavrik-batch ") + programVersion + "\n" +
           "License GPL-3.0-or-later: GNU GPL version 3 or later "
           "<https://gnu.org/licenses/gpl.html>.\n"
           "This is free software: you are free to change and redistribute it.\n"
           "There is NO WARRANTY, to the extent permitted by law.\n";
}

int command(const std::vector<std::string_view>& args,
            const char* sourceDateEpoch,
            std::ostream& out,
            std::ostream& err)
{
    Result<BatchOptions> options = parseBatchOptions(args);
    if (!options) {
        printBatchMessage(err, options.error().message);
        err << "Try 'tavrik-batch --help' for more information.\n";
        return static_cast<int>(BatchExit::Usage);
    }
    if (options->help || options->version) {
        errno = 0;
        out << (options->help ? batchUsage() : versionText()) << std::flush;
        // A full or closed standard output must not pass for a printed text.
        if (!out) {
            const int error = errno;
            err << "tavrik-batch: cannot write to standard output"
                << (error != 0 ? std::string(": ") + std::strerror(error) : std::string()) << '\n';
            return static_cast<int>(BatchExit::CannotProceed);
        }
        return static_cast<int>(BatchExit::Done);
    }
    if (options->importCsv) {
        return runImport(*options, out, err);
    }
    Result<Clock> clock = reportClock(sourceDateEpoch);
    if (!clock) {
        printBatchMessage(err, clock.error().message);
        return exitStatusFor(clock.error().kind);
    }
    return runBatch(*options,
                    *clock,
                    out,
                    err,
                    drawBatchChart,
                    drawBatchSweepChart,
                    drawBatchTreeChart,
                    batchChartFormats);
}

} // namespace

int runBatchCommand(const std::vector<std::string_view>& args,
                    const char* sourceDateEpoch,
                    std::ostream& out,
                    std::ostream& err)
{
    try {
        return command(args, sourceDateEpoch, out, err);
    } catch (const std::bad_alloc&) {
        err << "tavrik-batch: the computer has not enough memory for this run\n";
        return static_cast<int>(BatchExit::CannotProceed);
    }
}

} // namespace tavrik
