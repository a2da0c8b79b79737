#include "chart/SweepChartLayout.h"

#include "chart/ChartAxes.h"
#include "state/NumberText.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

namespace tavrik {

namespace {

constexpr double titleGap = 6.0;       // between a title and what it names
constexpr double legendLine = 18.0;    // length of a legend's line sample
constexpr double legendGap = 4.0;      // between the sample and its name
constexpr double legendSpacing = 16.0; // between two legend entries
constexpr double dataPadding = 0.04;   // of a span, kept free at both ends of an axis

// The smallest and largest finite value of both series; false when there is none.
bool finiteRange(const SweepChartInput& input, double& lo, double& hi)
{
    bool any = false;
    for (const auto* values : {&input.fst, &input.fstUnbiased}) {
        for (double v : *values) {
            if (std::isfinite(v)) {
                lo = any ? std::min(lo, v) : v;
                hi = any ? std::max(hi, v) : v;
                any = true;
            }
        }
    }
    return any;
}

} // namespace

SweepChartInput sweepChartInputFrom(const SweepTable& table, std::string title)
{
    SweepChartInput input;
    for (const SweepRow& row : table.rows) {
        // the decimal as given, which the float of the run only approximates
        double h = static_cast<double>(row.point.heritability);
        const std::string& t = row.point.text;
        readNumber(t.data(), t.data() + t.size(), h);
        input.heritability.push_back(h);
        input.fst.push_back(row.fst);
        input.fstUnbiased.push_back(row.fstUnbiased);
    }
    input.title = std::move(title);
    return input;
}

namespace {

// Heritabilities across, Fst upwards from zero (or from below it), a little padding at both
// ends.
void setRanges(SweepChartLayout& layout, const SweepChartInput& input)
{
    double hLo = 0.0;
    double hHi = 1.0;
    if (!input.heritability.empty()) {
        const auto [lo, hi] =
            std::minmax_element(input.heritability.begin(), input.heritability.end());
        hLo = *lo;
        hHi = *hi;
    }
    if (hHi - hLo <= 0.0) {
        hLo -= 0.05;
        hHi += 0.05;
    }
    double fLo = 0.0;
    double fHi = 0.0;
    finiteRange(input, fLo, fHi);
    fLo = std::min(fLo, 0.0);
    fHi = std::max(fHi, 0.0);
    if (fHi - fLo <= 0.0) {
        fHi = fLo + 0.1;
    }
    const double xPad = dataPadding * (hHi - hLo);
    const double yPad = dataPadding * (fHi - fLo);
    layout.xMin = hLo - xPad;
    layout.xMax = hHi + xPad;
    layout.yMin = fLo < 0.0 ? fLo - yPad : 0.0;
    layout.yMax = fHi + yPad;
}

// The legend's row, centred above the frame; returns the frame's top.
double layOutLegend(SweepChartLayout& layout, double top, const TextMeasure& measure)
{
    const double w = layout.canvas.width;
    layout.series = {{"Fst", {}, {}, {}, {}}, {"Unbiased Fst", {}, {}, {}, {}}};
    std::vector<ChartSize> legendSizes;
    double legendWidth = 0.0;
    for (const SweepSeries& s : layout.series) {
        legendSizes.push_back(measure(s.name, ChartFont::PointLabel));
        legendWidth += legendLine + legendGap + legendSizes.back().width;
    }
    legendWidth += legendSpacing * static_cast<double>(layout.series.size() - 1);
    double legendHeight = 0.0;
    for (const ChartSize& s : legendSizes) {
        legendHeight = std::max(legendHeight, s.height);
    }
    double x = (w - legendWidth) / 2.0;
    for (std::size_t i = 0; i < layout.series.size(); ++i) {
        SweepSeries& s = layout.series[i];
        const double mid = top + legendHeight / 2.0;
        s.legendLineFrom = {x, mid};
        s.legendLineTo = {x + legendLine, mid};
        s.legendBox = {x + legendLine + legendGap,
                       mid - legendSizes[i].height / 2.0,
                       legendSizes[i].width,
                       legendSizes[i].height};
        x = s.legendBox.right() + legendSpacing;
    }
    return top + legendHeight + titleGap;
}

// Each series' unbroken runs of finite values, in canvas points.
void addSegments(SweepChartLayout& layout, const SweepChartInput& input)
{
    const std::vector<double>* values[] = {&input.fst, &input.fstUnbiased};
    for (std::size_t k = 0; k < layout.series.size(); ++k) {
        std::vector<std::vector<ChartPoint>>& segments = layout.series[k].segments;
        bool broken = true;
        const std::size_t n = std::min(input.heritability.size(), values[k]->size());
        for (std::size_t i = 0; i < n; ++i) {
            const double v = (*values[k])[i];
            if (!std::isfinite(v)) {
                broken = true;
                continue;
            }
            if (broken) {
                segments.emplace_back();
                broken = false;
            }
            segments.back().push_back(layout.toCanvas({input.heritability[i], v}));
        }
    }
}

} // namespace

SweepChartLayout
layoutSweepChart(const SweepChartInput& input, const TextMeasure& measure, const ChartStyle& style)
{
    SweepChartLayout layout;
    layout.style = style;
    layout.canvas = input.canvas;
    setRanges(layout, input);

    layout.xTitle = "Heritability";
    layout.yTitle = "Fst";
    const ChartSize xTitleSize = measure(layout.xTitle, ChartFont::AxisTitle);
    const ChartSize yTitleSize = measure(layout.yTitle, ChartFont::AxisTitle);
    const double top = layOutTitle(layout, input.title, measure);
    layOutFreeAxes(layout, layOutLegend(layout, top, measure), xTitleSize, yTitleSize, measure);
    addSegments(layout, input);
    return layout;
}

} // namespace tavrik
