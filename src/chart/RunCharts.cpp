#include "chart/RunCharts.h"

namespace tavrik {

Result<ChartLayout> pcChartOf(const AnalysisResults& results,
                              ChartKind kind,
                              const std::string& title,
                              const TextMeasure& measure)
{
    const ChartInput input =
        chartInputFrom(results, kind == ChartKind::ScaledPrincipalCoords, title);
    if (input.names.empty()) {
        return Error::io("there are no principal coordinates to draw");
    }
    return layoutChart(input, measure);
}

Result<VtChartLayout>
vtChartOf(const AnalysisResults& results, const std::string& title, const TextMeasure& measure)
{
    const VtChartInput input = vtChartInputFrom(results, title);
    if (input.names.empty()) {
        return Error::io("there are no Velbrand-Torvane results to draw");
    }
    return layoutVtChart(input, measure);
}

Result<SweepChartLayout>
sweepChartOf(const SweepTable& table, const std::string& title, const TextMeasure& measure)
{
    if (table.rows.empty()) {
        return Error::io("the sweep has no heritability to draw");
    }
    return layoutSweepChart(sweepChartInputFrom(table, title), measure);
}

Result<TreeChartLayout> treeChartOf(const Tree& tree,
                                    std::optional<std::size_t> rootTip,
                                    const std::string& title,
                                    const std::string& unit,
                                    const TextMeasure& measure)
{
    if (tree.names.empty()) {
        return Error::io("the tree has no populations to draw");
    }
    return layoutTreeChart({tree, rootTip, title, unit}, measure);
}

} // namespace tavrik
