// One chart of each kind for the SVG writer's tests: names that XML must escape, a crowd that
// needs leader lines, a broken sweep line, a tree with support values.
#pragma once

#include "analysis/NeighborJoining.h"
#include "chart/ChartLayout.h"
#include "chart/ScatterChartLayout.h"
#include "chart/SweepChartLayout.h"
#include "chart/TreeChartLayout.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace tavrik::test {

inline const std::vector<std::string>& awkwardNames()
{
    static const std::vector<std::string> names = {
        "Nord & S\u00fcd", "<Hill>", "Plain \"A\"", "Bren's Ford", "\u00d8resund", "AVA Tway"};
    return names;
}

inline ChartInput pcSample()
{
    ChartInput in;
    in.names = awkwardNames();
    // the last three close together, so that their labels crowd
    in.scores = {
        {0.3, 0.1}, {-0.2, 0.15}, {-0.15, -0.2}, {0.02, -0.03}, {0.025, -0.028}, {0.018, -0.034}};
    in.shares = {71.25, 20.5};
    in.title = "Four & <more>";
    return in;
}

inline VtChartInput vtSample()
{
    VtChartInput in;
    in.names = awkwardNames();
    in.rii = {0.35, 0.12, 0.0, 0.22, 0.05, 0.051};
    in.residual = {0.21, -0.08, -0.17, 0.04, 0.01, -0.011};
    in.title = "Velbrand-Torvane Analysis";
    return in;
}

inline SweepChartInput sweepSample()
{
    SweepChartInput in;
    const double gap = std::numeric_limits<double>::quiet_NaN();
    in.heritability = {0.2, 0.4, 0.6, 0.8, 1.0};
    in.fst = {0.15, 0.08, gap, 0.045, 0.035};
    in.fstUnbiased = {0.14, 0.07, 0.05, 0.04, 0.03};
    in.title = "Fst against Heritability";
    return in;
}

inline ScatterChartInput scatterSample()
{
    ScatterChartInput in;
    in.x = {120.0, 340.5, 80.25, 510.0, 260.0, 45.0};
    in.y = {0.12, 0.31, 0.09, 0.42, 0.2, 0.05};
    in.title = "D-square against Geographic Distance";
    in.xTitle = "Geographic distance (km)";
    in.yTitle = "D-square";
    in.legend = "r = 0.912, p = 0.0042";
    return in;
}

inline TreeChartInput treeSample()
{
    const std::size_t n = awkwardNames().size();
    Matrix d(n, n);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            d(i, j) = i == j ? 0.0
                             : 0.02 * std::abs(static_cast<double>(i) - static_cast<double>(j)) +
                                   0.01 * static_cast<double>((i + j) % 3);
        }
    }
    Result<Tree> tree = neighborJoiningTree(d, awkwardNames());
    TreeChartInput in;
    if (tree) {
        in.tree = *tree;
        double support = 50.0;
        for (TreeNode& node : in.tree.nodes) {
            if (!node.isTip()) {
                node.support = support;
                support += 10.0;
            }
        }
    }
    in.title = "Neighbor-Joining Tree";
    return in;
}

} // namespace tavrik::test
