// The chart drawers of tavrik-batch: a run's principal coordinates or Velbrand-Torvane chart,
// the heritability sweep's line chart and the tree's chart. A build with Qt draws them as PNG
// or SVG without any window (BatchChart.cpp); one without Qt writes SVG only, through the
// core's writer (BatchSvgChart.cpp).
#pragma once

#include "analysis/HeritabilitySweep.h"
#include "analysis/NeighborJoining.h"
#include "chart/ChartLayout.h"
#include "cli/BatchRun.h"
#include "state/ProgramState.h"
#include "state/Result.h"

#include <filesystem>
#include <optional>
#include <string>

namespace tavrik {

// The formats that the drawers below write.
extern const ChartFormats batchChartFormats;

// A ChartDrawer (see BatchRun.h). With Qt, the graphical application object it needs exists
// only during the call, so a run without --chart never starts one.
Result<std::string> drawBatchChart(const std::filesystem::path& target,
                                   const AnalysisResults& results,
                                   ChartKind kind,
                                   const std::string& title);

// A SweepChartDrawer (see BatchRun.h), likewise.
Result<std::string> drawBatchSweepChart(const std::filesystem::path& target,
                                        const SweepTable& table,
                                        const std::string& title);

// A TreeChartDrawer (see BatchRun.h), likewise.
Result<std::string> drawBatchTreeChart(const std::filesystem::path& target,
                                       const Tree& tree,
                                       std::optional<std::size_t> rootTip,
                                       const std::string& title,
                                       const std::string& unit);

} // namespace tavrik
