// The chart layouts as SVG files, without any drawing toolkit: the same geometry, colours, line
// widths and fonts as the desktop's painter, texts as SVG text centred in their boxes. This is
// how programs without Qt draw charts.
#pragma once

#include "analysis/HeritabilitySweep.h"
#include "analysis/NeighborJoining.h"
#include "chart/ChartLayout.h"
#include "chart/ScatterChartLayout.h"
#include "chart/SweepChartLayout.h"
#include "chart/TreeChartLayout.h"
#include "state/ProgramState.h"
#include "state/Result.h"

#include <optional>
#include <string>

namespace tavrik {

// The whole file, one SVG unit per point.
std::string svgChart(const ChartLayout& layout);
std::string svgChart(const VtChartLayout& layout);
std::string svgChart(const SweepChartLayout& layout);
std::string svgChart(const ScatterChartLayout& layout);
std::string svgChart(const TreeChartLayout& layout);

// A number as an SVG attribute gives it: fixed, at most three decimals, no trailing zeros.
std::string svgNumber(double value);

// The charts of tavrik-batch, laid out with fontTableMeasure, as the bytes of an SVG file;
// path must end in .svg (any case). Failures name path. The three match chartFileBytes,
// sweepChartFileBytes and treeChartFileBytes of the Qt program.
Result<std::string> svgChartFileBytes(const std::string& path,
                                      const AnalysisResults& results,
                                      ChartKind kind,
                                      const std::string& title);
Result<std::string>
svgSweepChartFileBytes(const std::string& path, const SweepTable& table, const std::string& title);
Result<std::string> svgTreeChartFileBytes(const std::string& path,
                                          const Tree& tree,
                                          std::optional<std::size_t> rootTip,
                                          const std::string& title,
                                          const std::string& unit);

// Whether path ends in ".svg", in any case.
bool isSvgPath(const std::string& path);

} // namespace tavrik
