// The titles the charts carry, the same in the desktop's windows and in tavrik-batch's files.
#pragma once

#include "chart/ChartLayout.h"

#include <string>
#include <string_view>

namespace tavrik {

inline constexpr std::string_view vtChartTitle = "Velbrand-Torvane Analysis";
inline constexpr std::string_view sweepChartTitle = "Fst against Heritability";
inline constexpr std::string_view treeChartTitle = "Neighbor-Joining Tree";

// What an SVG file calls a chart drawn without a title line.
inline constexpr std::string_view untitledPcChart = "Principal coordinates";
inline constexpr std::string_view untitledSweepChart = "Heritability sensitivity";
inline constexpr std::string_view untitledScatterChart = "Mantel test";
inline constexpr std::string_view untitledTreeChart = "Tree";

inline std::string chartTitle(ChartKind kind)
{
    switch (kind) {
    case ChartKind::PrincipalCoords:
        return "Principal Coordinates of R Matrix";
    case ChartKind::ScaledPrincipalCoords:
        return "Principal Coordinates of Scaled R Matrix";
    case ChartKind::VelbrandTorvane:
        return std::string(vtChartTitle);
    }
    return {};
}

// The Mantel test's chart of one of the run's matrices ("D-square", ...).
inline std::string mantelChartTitle(const std::string& matrixName)
{
    return matrixName + " against Geographic Distance";
}

} // namespace tavrik
