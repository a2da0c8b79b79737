#include "chart/ScatterChartLayout.h"

#include "chart/ChartAxes.h"
#include "export/MantelText.h"
#include "report/NumberFormat.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

namespace tavrik {

namespace {

constexpr double titleGap = 6.0;     // between a title and what it names
constexpr double legendLine = 18.0;  // length of the legend's line sample
constexpr double legendGap = 4.0;    // between the sample and the text
constexpr double dataPadding = 0.04; // of a span, kept free at the far end of an axis

// An axis from zero (or from below it, for negative values) to a little past the largest.
void axisRange(
    const std::vector<double>& values, double extraLo, double extraHi, double& lo, double& hi)
{
    lo = std::min(0.0, extraLo);
    hi = std::max(0.0, extraHi);
    for (const double v : values) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    if (hi - lo <= 0.0) {
        hi = lo + 1.0;
    }
    const double pad = dataPadding * (hi - lo);
    hi += pad;
    if (lo < 0.0) {
        lo -= pad;
    }
}

} // namespace

ScatterChartInput mantelChartInput(const MantelResult& result, std::size_t m, std::string title)
{
    const MantelMatrixResult& mr = result.matrices.at(m);
    ScatterChartInput input;
    input.x = result.geographic;
    input.y = mr.values;
    input.title = std::move(title);
    input.xTitle = result.greatCircle ? "Geographic distance (km)" : "Geographic distance";
    input.yTitle = mr.name;
    input.legend = "Least-squares line; " + mantelMethodName(result.method) +
                   " r = " + formatNumber(mr.r, "0.000;-0.000") +
                   ", p = " + formatNumber(mr.p, "0.0000");
    return input;
}

ScatterChartLayout layoutScatterChart(const ScatterChartInput& input,
                                      const TextMeasure& measure,
                                      const ChartStyle& style)
{
    assert(input.x.size() == input.y.size());
    ScatterChartLayout layout;
    layout.style = style;
    layout.canvas = input.canvas;
    const double w = input.canvas.width;
    const std::size_t n = input.x.size();

    // The least-squares line of y on x, over the points' x range.
    double xLo = 0.0;
    double xHi = 0.0;
    if (n > 0) {
        const auto [lo, hi] = std::minmax_element(input.x.begin(), input.x.end());
        xLo = *lo;
        xHi = *hi;
        double sx = 0.0;
        double sy = 0.0;
        for (std::size_t k = 0; k < n; ++k) {
            sx += input.x[k];
            sy += input.y[k];
        }
        const double mx = sx / static_cast<double>(n);
        const double my = sy / static_cast<double>(n);
        double sxy = 0.0;
        double sxx = 0.0;
        for (std::size_t k = 0; k < n; ++k) {
            sxy += (input.x[k] - mx) * (input.y[k] - my);
            sxx += (input.x[k] - mx) * (input.x[k] - mx);
        }
        if (sxx > 0.0) {
            layout.hasLine = true;
            layout.slope = sxy / sxx;
            layout.intercept = my - layout.slope * mx;
        }
    }
    const double yAtLo = layout.intercept + layout.slope * xLo;
    const double yAtHi = layout.intercept + layout.slope * xHi;
    axisRange(input.x, 0.0, 0.0, layout.xMin, layout.xMax);
    axisRange(input.y,
              layout.hasLine ? std::min(yAtLo, yAtHi) : 0.0,
              layout.hasLine ? std::max(yAtLo, yAtHi) : 0.0,
              layout.yMin,
              layout.yMax);

    layout.xTitle = input.xTitle;
    layout.yTitle = input.yTitle;
    const ChartSize xTitleSize = measure(layout.xTitle, ChartFont::AxisTitle);
    const ChartSize yTitleSize = measure(layout.yTitle, ChartFont::AxisTitle);

    double top = layOutTitle(layout, input.title, measure);
    if (!input.legend.empty()) {
        layout.legend = input.legend;
        const ChartSize s = measure(layout.legend, ChartFont::PointLabel);
        const double x = (w - legendLine - legendGap - s.width) / 2.0;
        const double mid = top + s.height / 2.0;
        layout.legendLineFrom = {x, mid};
        layout.legendLineTo = {x + legendLine, mid};
        layout.legendBox = {x + legendLine + legendGap, top, s.width, s.height};
        top = layout.legendBox.bottom() + titleGap;
    }
    layOutFreeAxes(layout, top, xTitleSize, yTitleSize, measure);

    for (std::size_t k = 0; k < n; ++k) {
        layout.points.push_back(layout.toCanvas({input.x[k], input.y[k]}));
    }
    if (layout.hasLine) {
        layout.lineFrom = layout.toCanvas({xLo, yAtLo});
        layout.lineTo = layout.toCanvas({xHi, yAtHi});
    }
    return layout;
}

} // namespace tavrik
