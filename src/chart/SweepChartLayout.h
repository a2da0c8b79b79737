// Geometry of the heritability sweep's line chart, free of any drawing toolkit: Fst and unbiased
// Fst against heritability, each axis with its own scale and nice ticks along the frame's left
// and bottom edges, the two lines and a legend above the frame. Canvas units are points
// (1/72 inch), x to the right, y downwards.
#pragma once

#include "analysis/HeritabilitySweep.h"
#include "chart/ChartLayout.h"

#include <string>
#include <string_view>
#include <vector>

namespace tavrik {

// The title of the sweep's chart, on the desktop and in batch runs.
inline constexpr std::string_view sweepChartTitle = "Fst against Heritability";

struct SweepChartInput
{
    std::vector<double> heritability; // ascending
    std::vector<double> fst;          // one per heritability; a value not finite breaks the line
    std::vector<double> fstUnbiased;
    std::string title;              // empty: no title line
    ChartSize canvas{504.0, 360.0}; // 7 x 5 inches
};

// The sweep's heritabilities (as a run reads them), Fst and unbiased Fst.
SweepChartInput sweepChartInputFrom(const SweepTable& table, std::string title);

struct SweepSeries
{
    std::string name;
    std::vector<std::vector<ChartPoint>> segments; // canvas points, unbroken runs of values
    ChartRect legendBox;                           // the name's text
    ChartPoint legendLineFrom;                     // the sample of the line before the name
    ChartPoint legendLineTo;
};

struct SweepChartLayout
{
    ChartStyle style;
    ChartSize canvas;
    ChartRect frame;   // every data point lies inside it
    double xMin = 0.0; // data shown at the frame's left and right edges
    double xMax = 1.0;
    double yMin = 0.0; // at the bottom and top edges
    double yMax = 1.0;
    double xStep = 0.1; // tick steps, 1, 2 or 5 times a power of ten
    double yStep = 0.1;
    std::vector<ChartTick> xTicks;   // marks below the bottom edge, numbers under them
    std::vector<ChartTick> yTicks;   // marks left of the left edge, numbers left of them
    std::vector<SweepSeries> series; // Fst, then unbiased Fst
    std::string title;
    ChartRect titleBox;
    std::string xTitle;
    ChartRect xTitleBox;
    std::string yTitle;
    ChartRect yTitleBox; // the box of the text turned a quarter left, as drawn

    ChartPoint toCanvas(ChartPoint data) const;
};

SweepChartLayout layoutSweepChart(const SweepChartInput& input,
                                  const TextMeasure& measure,
                                  const ChartStyle& style = {});

} // namespace tavrik
