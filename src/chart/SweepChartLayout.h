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

struct SweepChartLayout : FreeAxesChart
{
    std::vector<SweepSeries> series; // Fst, then unbiased Fst
};

SweepChartLayout layoutSweepChart(const SweepChartInput& input,
                                  const TextMeasure& measure,
                                  const ChartStyle& style = {});

} // namespace tavrik
