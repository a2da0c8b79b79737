// The chart drawers of a tavrik-batch built without Qt: the core's SVG writer.
#include "chart/SvgChart.h"
#include "cli/BatchChart.h"
#include "io/TextEncoding.h"

namespace tavrik {

const ChartFormats batchChartFormats = ChartFormats::SvgOnly;

Result<std::string> drawBatchChart(const std::filesystem::path& target,
                                   const AnalysisResults& results,
                                   ChartKind kind,
                                   const std::string& title)
{
    return svgChartFileBytes(pathText(target), results, kind, title);
}

Result<std::string> drawBatchSweepChart(const std::filesystem::path& target,
                                        const SweepTable& table,
                                        const std::string& title)
{
    return svgSweepChartFileBytes(pathText(target), table, title);
}

Result<std::string> drawBatchTreeChart(const std::filesystem::path& target,
                                       const Tree& tree,
                                       std::optional<std::size_t> rootTip,
                                       const std::string& title,
                                       const std::string& unit)
{
    return svgTreeChartFileBytes(pathText(target), tree, rootTip, title, unit);
}

} // namespace tavrik
