// The frame and the two free axes shared by the charts that plot one value against another
// (the Velbrand-Torvane chart, the heritability sweep, the Mantel scatter chart).
#pragma once

#include "chart/ChartLayout.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace tavrik {

// Decimals that show every multiple of step (1, 2 or 5 times a power of ten).
int tickDecimals(double step);

// The multiples of step from lo to hi (both inclusive, with a little tolerance).
std::vector<double> tickMultiples(double lo, double hi, double step);

// Lays out the frame from frameTop down to what the horizontal ticks and title leave, its
// ticks on both axes and the two axis titles. Layout has the members style, canvas, frame,
// xMin, xMax, yMin, yMax, xStep, yStep, xTicks, yTicks, xTitleBox, yTitleBox and toCanvas,
// which maps data to the frame through the x and y ranges.
template <typename Layout>
void layOutFreeAxes(Layout& layout,
                    double frameTop,
                    ChartSize xTitleSize,
                    ChartSize yTitleSize,
                    const TextMeasure& measure)
{
    constexpr double titleGap = 6.0; // between an axis title and the tick numbers
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
