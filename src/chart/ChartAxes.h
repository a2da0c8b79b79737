// The frame and the two free axes shared by the charts that plot one value against another
// (the Velbrand-Torvane chart, the heritability sweep, the Mantel scatter chart).
#pragma once

#include "chart/ChartLayout.h"

#include <string>
#include <vector>

namespace tavrik {

// Decimals that show every multiple of step (1, 2 or 5 times a power of ten).
int tickDecimals(double step);

// The multiples of step from lo to hi (both inclusive, with a little tolerance).
std::vector<double> tickMultiples(double lo, double hi, double step);

// The chart's title centred at the top of the canvas, none when it is empty; returns where what
// follows it may start.
double layOutTitle(TitledChart& chart, const std::string& title, const TextMeasure& measure);

// Lays out the frame from frameTop down to what the horizontal ticks and title leave, its
// ticks on both axes and the two axis titles, for the ranges in the chart.
void layOutFreeAxes(FreeAxesChart& layout,
                    double frameTop,
                    ChartSize xTitleSize,
                    ChartSize yTitleSize,
                    const TextMeasure& measure);

} // namespace tavrik
