// The charts that a run and its analyses give, laid out with a measure: the principal
// coordinates or the Velbrand-Torvane chart of a run, the heritability sweep's chart and the
// tree's chart. Shared by the Qt files and the SVG writer; each fails with the reason when
// there is nothing to draw.
#pragma once

#include "analysis/HeritabilitySweep.h"
#include "analysis/NeighborJoining.h"
#include "chart/ChartLayout.h"
#include "chart/SweepChartLayout.h"
#include "chart/TreeChartLayout.h"
#include "state/ProgramState.h"
#include "state/Result.h"

#include <optional>
#include <string>

namespace tavrik {

// kind is not VelbrandTorvane.
Result<ChartLayout> pcChartOf(const AnalysisResults& results,
                              ChartKind kind,
                              const std::string& title,
                              const TextMeasure& measure);

Result<VtChartLayout>
vtChartOf(const AnalysisResults& results, const std::string& title, const TextMeasure& measure);

Result<SweepChartLayout>
sweepChartOf(const SweepTable& table, const std::string& title, const TextMeasure& measure);

// Rooted on the population rootTip or, without one, at the midpoint; the scale bar measures
// unit ("D-square", "Scaled D-square").
Result<TreeChartLayout> treeChartOf(const Tree& tree,
                                    std::optional<std::size_t> rootTip,
                                    const std::string& title,
                                    const std::string& unit,
                                    const TextMeasure& measure);

} // namespace tavrik
