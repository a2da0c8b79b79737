// Geometry of the Mantel test's scatter chart, free of any drawing toolkit: one point per pair
// of populations, geographic distance across and the run's distance upwards, both axes from
// zero with nice ticks along the frame's left and bottom edges, and the least-squares line of
// the run's distance on the geographic one. Canvas units are points (1/72 inch), x to the
// right, y downwards.
#pragma once

#include "analysis/Mantel.h"
#include "chart/ChartLayout.h"

#include <string>
#include <vector>

namespace tavrik {

struct ScatterChartInput
{
    std::vector<double> x; // one value per point
    std::vector<double> y;
    std::string title; // empty: no title line
    std::string xTitle;
    std::string yTitle;
    std::string legend;             // after the line's sample, above the frame; empty: none
    ChartSize canvas{504.0, 396.0}; // 7 x 5.5 inches
};

// The pairs of a Mantel test for its matrix m: "Geographic distance (km)" (or the matrix
// file's unit) across, the matrix's distance upwards, r and p in the legend.
ScatterChartInput mantelChartInput(const MantelResult& result, std::size_t m, std::string title);

struct ScatterChartLayout : FreeAxesChart
{
    std::vector<ChartPoint> points; // canvas positions, in the input's order
    // The least-squares line y = intercept + slope x over the points' x range; absent when
    // every x is the same.
    bool hasLine = false;
    double slope = 0.0;
    double intercept = 0.0;
    ChartPoint lineFrom; // canvas
    ChartPoint lineTo;
    std::string legend;
    ChartRect legendBox;
    ChartPoint legendLineFrom;
    ChartPoint legendLineTo;
};

ScatterChartLayout layoutScatterChart(const ScatterChartInput& input,
                                      const TextMeasure& measure,
                                      const ChartStyle& style = {});

} // namespace tavrik
