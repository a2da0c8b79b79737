// Geometry of the tree chart, free of any drawing toolkit: a rectangular phylogram of the
// neighbor-joining tree, rooted at the midpoint of its longest path or on a chosen population,
// tips labelled, support values at inner nodes and a scale bar in the distance's units. Canvas
// units are points (1/72 inch), x to the right, y downwards.
#pragma once

#include "analysis/NeighborJoining.h"
#include "chart/ChartLayout.h"

#include <optional>
#include <string>
#include <vector>

namespace tavrik {

struct TreeChartInput
{
    Tree tree;
    std::optional<std::size_t> rootTip; // root on this population; none: the midpoint
    std::string title;                  // empty: no title line
    std::string unit = "D-square";      // what the scale bar measures
    ChartSize canvas{504.0, 504.0};     // 7 x 7 inches; taller when the tips need it
};

struct TreeSegment
{
    ChartPoint from;
    ChartPoint to;
};

// No axis titles: the scale bar says what the lengths measure.
struct TreeChartLayout : TitledChart
{
    ChartRect frame;                   // the branches lie inside it
    double scale = 1.0;                // points per unit of distance
    std::vector<TreeSegment> branches; // horizontal branches and the vertical joins of nodes
    std::vector<ChartPoint> tips;      // canvas position of each population's tip
    std::vector<ChartLabel> labels;    // one per population, population order
    std::vector<ChartLabel> supports;  // the support values shown, at their nodes
    std::size_t supportsLeftOut = 0;   // support values with no free place beside their node
    double barLength = 0.0;            // the scale bar, in units of distance
    TreeSegment bar;
    ChartLabel barLabel; // e.g. "0.05 D-square"
};

// A negative branch length is drawn as 0.
TreeChartLayout layoutTreeChart(const TreeChartInput& input,
                                const TextMeasure& measure,
                                const ChartStyle& style = {});

} // namespace tavrik
