#include "chart/ChartAxes.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace tavrik {

namespace {

constexpr double titleGap = 6.0; // between a title and what it names

} // namespace

ChartPoint FreeAxesChart::toCanvas(ChartPoint data) const
{
    return {frame.left + (data.x - xMin) / (xMax - xMin) * frame.width,
            frame.bottom() - (data.y - yMin) / (yMax - yMin) * frame.height};
}

int tickDecimals(double step)
{
    const int magnitude = static_cast<int>(std::floor(std::log10(step) + 1e-9));
    return std::max(0, -magnitude);
}

std::vector<double> tickMultiples(double lo, double hi, double step)
{
    std::vector<double> values;
    for (auto k = static_cast<long>(std::ceil(lo / step - 1e-9));
         static_cast<double>(k) <= hi / step + 1e-9;
         ++k) {
        values.push_back(static_cast<double>(k) * step);
    }
    return values;
}

double layOutTitle(TitledChart& chart, const std::string& title, const TextMeasure& measure)
{
    double top = chart.style.margin;
    if (!title.empty()) {
        chart.title = title;
        const ChartSize s = measure(chart.title, ChartFont::Title);
        chart.titleBox = {(chart.canvas.width - s.width) / 2.0, top, s.width, s.height};
        top = chart.titleBox.bottom() + titleGap;
    }
    return top;
}

void layOutFreeAxes(FreeAxesChart& layout,
                    double frameTop,
                    ChartSize xTitleSize,
                    ChartSize yTitleSize,
                    const TextMeasure& measure)
{
    const double m = layout.style.margin;
    const double tl = layout.style.tickLength;
    const double w = layout.canvas.width;
    const double tickHeight = measure("0", ChartFont::Tick).height;
    const double frameBottom =
        layout.canvas.height - m - xTitleSize.height - titleGap - tickHeight - tl - 1.0;
    const double frameHeight = std::max(1.0, frameBottom - frameTop);

    // The vertical ticks first: their numbers' width decides where the frame begins.
    layout.yStep = niceStep(layout.style.tickSpacing * (layout.yMax - layout.yMin) / frameHeight);
    const int yDecimals = tickDecimals(layout.yStep);
    double yLabelWidth = 0.0;
    for (double v : tickMultiples(layout.yMin, layout.yMax, layout.yStep)) {
        ChartTick t;
        t.value = v;
        t.label = tickText(v, yDecimals);
        const ChartSize s = measure(t.label, ChartFont::Tick);
        t.labelBox = {0.0, 0.0, s.width, s.height};
        yLabelWidth = std::max(yLabelWidth, s.width);
        layout.yTicks.push_back(std::move(t));
    }
    const double frameLeft = m + yTitleSize.height + titleGap + yLabelWidth + tl + 2.0;
    layout.frame = {frameLeft, frameTop, std::max(1.0, w - m - frameLeft), frameHeight};
    const ChartRect& f = layout.frame;
    for (ChartTick& t : layout.yTicks) {
        t.position = layout.toCanvas({layout.xMin, t.value}).y;
        t.labelBox.left = f.left - tl - 2.0 - t.labelBox.width;
        t.labelBox.top = t.position - t.labelBox.height / 2.0;
    }

    layout.xStep = niceStep(layout.style.tickSpacing * (layout.xMax - layout.xMin) / f.width);
    const int xDecimals = tickDecimals(layout.xStep);
    for (double v : tickMultiples(layout.xMin, layout.xMax, layout.xStep)) {
        ChartTick t;
        t.value = v;
        t.position = layout.toCanvas({v, layout.yMin}).x;
        t.label = tickText(v, xDecimals);
        const ChartSize s = measure(t.label, ChartFont::Tick);
        t.labelBox = {t.position - s.width / 2.0, f.bottom() + tl + 1.0, s.width, s.height};
        layout.xTicks.push_back(std::move(t));
    }

    layout.xTitleBox = {f.left + (f.width - xTitleSize.width) / 2.0,
                        f.bottom() + tl + 1.0 + tickHeight + titleGap,
                        xTitleSize.width,
                        xTitleSize.height};
    // turned a quarter left: the text's height runs along x, its width along y
    layout.yTitleBox = {
        m, f.top + (f.height - yTitleSize.width) / 2.0, yTitleSize.height, yTitleSize.width};
}

} // namespace tavrik
