// Geometry of the heritability sweep's line chart, measured with the fixed-width stand-in font
// of the principal coordinates chart's test (0.5 x size wide per character, 1.2 x size high),
// so the frame and the ticks below can be worked out by hand.

#include "chart/SweepChartLayout.h"

#include <cmath>
#include <cstddef>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

#include "ChartTestSupport.h"

namespace tavrik {
namespace {

using test::fixedWidth;
using test::tickLabels;
using test::tolerance;

SweepChartInput threeHeritabilities()
{
    SweepChartInput in;
    in.heritability = {0.2, 0.6, 1.0};
    in.fst = {0.15, 0.10, 0.05};
    in.fstUnbiased = {0.14, 0.09, 0.04};
    return in;
}

TEST(SweepChartGeometry, PlacesTheFrameTicksAndLinesAsWorkedOutByHand)
{
    const SweepChartLayout layout = layoutSweepChart(threeHeritabilities(), fixedWidth);

    // Heights: margin 14, legend 9.6 and a gap of 6 above the frame; below it the ticks (4 + 1),
    // their numbers (9.6), a gap of 6, the axis title (12) and the margin: 360 - 14 - 12 - 6 -
    // 9.6 - 5 = 313.4. Widths: margin 14, the turned title "Fst" (12), a gap of 6, the widest
    // number "0.15" (16), the tick and 2 points: 54, up to the margin at 490.
    EXPECT_NEAR(layout.frame.top, 29.6, tolerance);
    EXPECT_NEAR(layout.frame.bottom(), 313.4, tolerance);
    EXPECT_NEAR(layout.frame.left, 54.0, tolerance);
    EXPECT_NEAR(layout.frame.right(), 490.0, tolerance);

    // Fst starts at zero and ends 4 % of its span above the largest value; the heritabilities
    // keep 4 % of their span free on both sides. 60 points of frame are 0.033 units of Fst and
    // 0.119 of heritability, rounded up to steps of 0.05 and 0.2.
    EXPECT_DOUBLE_EQ(layout.yMin, 0.0);
    EXPECT_NEAR(layout.yMax, 0.156, tolerance);
    EXPECT_NEAR(layout.xMin, 0.168, tolerance);
    EXPECT_NEAR(layout.xMax, 1.032, tolerance);
    EXPECT_EQ(tickLabels(layout.yTicks),
              (std::vector<std::string>{"0.00", "0.05", "0.10", "0.15"}));
    EXPECT_EQ(tickLabels(layout.xTicks),
              (std::vector<std::string>{"0.2", "0.4", "0.6", "0.8", "1.0"}));
    EXPECT_NEAR(layout.yTicks.front().position, layout.frame.bottom(), tolerance);
    for (const ChartTick& t : layout.xTicks) {
        EXPECT_LE(t.labelBox.right(), layout.canvas.width) << t.label;
        EXPECT_GE(t.labelBox.top, layout.frame.bottom()) << t.label;
        EXPECT_LE(t.labelBox.bottom(), layout.xTitleBox.top) << t.label;
    }
    for (const ChartTick& t : layout.yTicks) {
        EXPECT_GE(t.labelBox.left, layout.yTitleBox.right()) << t.label;
        EXPECT_LE(t.labelBox.right(), layout.frame.left) << t.label;
    }

    // One unbroken line per series through the data, in order; Fst above its unbiased value.
    ASSERT_EQ(layout.series.size(), 2u);
    EXPECT_EQ(layout.series[0].name, "Fst");
    EXPECT_EQ(layout.series[1].name, "Unbiased Fst");
    const double xScale = layout.frame.width / (1.032 - 0.168);
    const double yScale = layout.frame.height / 0.156;
    for (const SweepSeries& s : layout.series) {
        ASSERT_EQ(s.segments.size(), 1u) << s.name;
        ASSERT_EQ(s.segments[0].size(), 3u) << s.name;
        for (const ChartPoint& p : s.segments[0]) {
            EXPECT_TRUE(layout.frame.contains(p)) << s.name;
        }
    }
    const ChartPoint first = layout.series[0].segments[0][0];
    EXPECT_NEAR(first.x, 54.0 + (0.2 - 0.168) * xScale, tolerance);
    EXPECT_NEAR(first.y, 313.4 - 0.15 * yScale, tolerance);
    const ChartPoint unbiasedLast = layout.series[1].segments[0][2];
    EXPECT_NEAR(unbiasedLast.x, 54.0 + (1.0 - 0.168) * xScale, tolerance);
    EXPECT_NEAR(unbiasedLast.y, 313.4 - 0.04 * yScale, tolerance);
}

TEST(SweepChartGeometry, KeepsTitleLegendAndFrameApart)
{
    SweepChartInput in = threeHeritabilities();
    in.title = "Fst against Heritability";
    const SweepChartLayout layout = layoutSweepChart(in, fixedWidth);
    EXPECT_LE(layout.titleBox.bottom(), layout.series[0].legendBox.top);
    const SweepSeries& a = layout.series[0];
    const SweepSeries& b = layout.series[1];
    EXPECT_EQ(overlapArea(a.legendBox, b.legendBox), 0.0);
    EXPECT_LT(a.legendBox.right(), b.legendLineFrom.x);
    for (const SweepSeries& s : layout.series) {
        EXPECT_LE(s.legendBox.bottom(), layout.frame.top) << s.name;
        EXPECT_LT(s.legendLineTo.x, s.legendBox.left) << s.name;
        EXPECT_GE(s.legendLineFrom.x, 0.0) << s.name;
        EXPECT_LE(s.legendBox.right(), layout.canvas.width) << s.name;
    }
    EXPECT_GE(layout.xTitleBox.top, layout.frame.bottom());
    EXPECT_LE(layout.xTitleBox.bottom(), layout.canvas.height);
    EXPECT_LE(layout.yTitleBox.right(), layout.frame.left);
}

TEST(SweepChartGeometry, DrawsNegativeUnbiasedValuesAndBreaksTheLineAtAMissingOne)
{
    // A small sample can correct Fst below zero; a heritability whose value is not a number
    // leaves a gap rather than a line drawn across it.
    SweepChartInput in;
    in.heritability = {0.2, 0.4, 0.6, 0.8, 1.0};
    in.fst = {0.02, 0.015, 0.012, 0.01, 0.008};
    in.fstUnbiased = {0.004, -0.001, std::numeric_limits<double>::quiet_NaN(), -0.004, -0.005};
    const SweepChartLayout layout = layoutSweepChart(in, fixedWidth);
    EXPECT_LT(layout.yMin, -0.005);
    EXPECT_GT(layout.yMax, 0.02);
    bool zeroTick = false;
    for (const ChartTick& t : layout.yTicks) {
        if (std::abs(t.value) < 1e-12) {
            zeroTick = true;
            EXPECT_EQ(t.label.find("\u2212"), std::string::npos) << "zero has no sign";
        }
        EXPECT_GE(t.position, layout.frame.top - tolerance) << t.label;
        EXPECT_LE(t.position, layout.frame.bottom() + tolerance) << t.label;
    }
    EXPECT_TRUE(zeroTick) << "zero lies inside the range and falls on a tick";
    ASSERT_EQ(layout.series[1].segments.size(), 2u);
    EXPECT_EQ(layout.series[1].segments[0].size(), 2u);
    EXPECT_EQ(layout.series[1].segments[1].size(), 2u);
    for (const SweepSeries& s : layout.series) {
        for (const auto& segment : s.segments) {
            for (const ChartPoint& p : segment) {
                EXPECT_TRUE(layout.frame.contains(p)) << s.name;
            }
        }
    }
}

TEST(SweepChartGeometry, ShowsASingleHeritabilityInTheMiddle)
{
    SweepChartInput in;
    in.heritability = {0.55};
    in.fst = {0.0};
    in.fstUnbiased = {0.0};
    const SweepChartLayout layout = layoutSweepChart(in, fixedWidth);
    ASSERT_GT(layout.xMax, layout.xMin);
    ASSERT_GT(layout.yMax, layout.yMin);
    const ChartPoint p = layout.series[0].segments.at(0).at(0);
    EXPECT_NEAR(p.x, layout.frame.left + layout.frame.width / 2.0, tolerance);
    EXPECT_NEAR(p.y, layout.frame.bottom(), tolerance); // Fst 0 at the bottom edge
    EXPECT_FALSE(layout.xTicks.empty());
    EXPECT_FALSE(layout.yTicks.empty());
}

} // namespace
} // namespace tavrik
