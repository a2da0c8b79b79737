// The batch program after option parsing: choose the report clock, load the data file's
// header, turn names into a selection, run the analysis and write the outputs.
#pragma once

#include "analysis/NeighborJoining.h"
#include "chart/ChartLayout.h"
#include "cli/BatchOptions.h"
#include "report/Clock.h"
#include "state/ProgramState.h"
#include "state/Result.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace tavrik {

enum class BatchExit : int {
    Done = 0,
    CannotProceed = 1, // the analysis stopped, or an output could not be written
    Usage = 2,
    DataFile = 3,
};

int exitStatusFor(ErrorKind kind);

// Writes message to err, every line starting with "tavrik-batch: ", with the characters that a
// terminal would obey escaped (escapedText).
void printBatchMessage(std::ostream& err, std::string_view message);

// SOURCE_DATE_EPOCH (null or empty: unset) gives a fixed UTC clock; otherwise the local clock.
Result<Clock> reportClock(const char* sourceDateEpoch);

// Draws a chart of a run (principal coordinates of the R or the scaled R matrix, or the
// Velbrand-Torvane residuals) in the format that the extension of target chooses, and returns
// the file's bytes; failures name target. Drawing needs Qt, so the core leaves it to the program.
using ChartDrawer = std::function<Result<std::string>(const std::filesystem::path& target,
                                                      const AnalysisResults& results,
                                                      ChartKind kind,
                                                      const std::string& title)>;

// Draws the heritability sweep's line chart as the extension of target chooses, likewise.
using SweepChartDrawer = std::function<Result<std::string>(
    const std::filesystem::path& target, const SweepTable& table, const std::string& title)>;

// Draws the tree's chart as the extension of target chooses, likewise: rooted on the population
// rootTip or at the midpoint, its scale bar measuring unit ("D-square", "Scaled D-square").
using TreeChartDrawer = std::function<Result<std::string>(const std::filesystem::path& target,
                                                          const Tree& tree,
                                                          std::optional<std::size_t> rootTip,
                                                          const std::string& title,
                                                          const std::string& unit)>;

// What the chart drawers write: a build without Qt draws charts as SVG files only.
enum class ChartFormats { PngAndSvg, SvgOnly };

// --tree-root's word for the midpoint.
inline constexpr std::string_view treeRootMidpoint = "midpoint";

// Everything from loading DATAFILE to the written outputs. Messages go to err, each line
// starting with "tavrik-batch: "; every output whose path is "-" goes to out. Every output
// target is checked before the analysis starts; the result files are written after a
// successful run, all or none of them. Without a chart drawer, --chart and --vt-chart are
// refused as usage errors, and so are --sweep-chart and --tree-chart without their drawers; a
// chart file that the formats do not include is refused likewise.
int runBatch(const BatchOptions& options,
             const Clock& clock,
             std::ostream& out,
             std::ostream& err,
             const ChartDrawer& chart = {},
             const SweepChartDrawer& sweepChart = {},
             const TreeChartDrawer& treeChart = {},
             ChartFormats formats = ChartFormats::PngAndSvg);

} // namespace tavrik
