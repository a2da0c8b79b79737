// Geometry of the Mantel test's scatter chart, measured with the fixed-width stand-in font of
// the other chart tests (0.5 x size wide per character, 1.2 x size high), so that the frame,
// the ticks and the least-squares line can be worked out by hand.
#include "chart/ScatterChartLayout.h"

#include <cstddef>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "ChartTestSupport.h"

namespace tavrik {
namespace {

using test::fixedWidth;
using test::tickLabels;
using test::tolerance;

TEST(ScatterChartGeometry, PlacesTheFrameTicksPointsAndLineAsWorkedOutByHand)
{
    ScatterChartInput in;
    in.x = {200.0, 0.0, 100.0, 50.0};
    // residuals 0, 0.5, 0.5 and -1 from y = 1 + 0.02 x: they sum to 0, and so do x times them
    in.y = {5.0, 1.5, 3.5, 1.0};
    in.xTitle = "km";
    in.yTitle = "D";
    in.legend = "L";
    const ScatterChartLayout layout = layoutScatterChart(in, fixedWidth);

    // Heights: margin 14, the legend (9.6) and a gap of 6 above the frame; below it the tick
    // (4 + 1), its number (9.6), a gap of 6, the axis title (12) and the margin: 396 - 14 - 12
    // - 6 - 9.6 - 5 = 349.4. Widths: margin 14, the turned title (12), a gap of 6, the widest
    // number "5" (4), the tick and 2 points: 42, up to the margin at 490.
    EXPECT_NEAR(layout.frame.top, 29.6, tolerance);
    EXPECT_NEAR(layout.frame.bottom(), 349.4, tolerance);
    EXPECT_NEAR(layout.frame.left, 42.0, tolerance);
    EXPECT_NEAR(layout.frame.right(), 490.0, tolerance);

    // Both axes start at zero and end 4 % of the span past the largest value.
    EXPECT_NEAR(layout.xMax, 208.0, tolerance);
    EXPECT_NEAR(layout.yMax, 5.2, tolerance);
    EXPECT_EQ(tickLabels(layout.xTicks),
              (std::vector<std::string>{"0", "50", "100", "150", "200"}));
    EXPECT_EQ(tickLabels(layout.yTicks), (std::vector<std::string>{"0", "1", "2", "3", "4", "5"}));

    ASSERT_TRUE(layout.hasLine);
    EXPECT_NEAR(layout.slope, 0.02, tolerance);
    EXPECT_NEAR(layout.intercept, 1.0, tolerance);
    // The line runs over the points' x range: from (0, 1) to (200, 5).
    EXPECT_NEAR(layout.lineFrom.x, 42.0, tolerance);
    EXPECT_NEAR(layout.lineFrom.y, 349.4 - 319.8 / 5.2, tolerance);
    EXPECT_NEAR(layout.lineTo.x, 42.0 + 448.0 * 200.0 / 208.0, tolerance);
    EXPECT_NEAR(layout.lineTo.y, 349.4 - 319.8 * 5.0 / 5.2, tolerance);

    ASSERT_EQ(layout.points.size(), 4u);
    EXPECT_NEAR(layout.points[2].x, 42.0 + 448.0 * 100.0 / 208.0, tolerance);
    EXPECT_NEAR(layout.points[2].y, 349.4 - 319.8 * 3.5 / 5.2, tolerance);
    for (const ChartPoint& p : layout.points) {
        EXPECT_TRUE(layout.frame.contains(p));
    }
    EXPECT_NEAR(layout.legendLineTo.x - layout.legendLineFrom.x, 18.0, tolerance);
}

TEST(ScatterChartGeometry, KeepsALineOutsideThePointsAndSkipsOneWithoutSlope)
{
    ScatterChartInput in;
    in.x = {10.0, 20.0, 30.0};
    in.y = {-1.0, 2.0, -4.0}; // slope -0.15, intercept 2.0: the line ends at 0.5 and -2.5
    ScatterChartLayout layout = layoutScatterChart(in, fixedWidth);
    ASSERT_TRUE(layout.hasLine);
    EXPECT_LT(layout.yMin, -4.0); // padded below the lowest value, which is negative
    EXPECT_TRUE(layout.frame.contains(layout.lineFrom));
    EXPECT_TRUE(layout.frame.contains(layout.lineTo));

    in.x = {7.0, 7.0, 7.0};
    layout = layoutScatterChart(in, fixedWidth);
    EXPECT_FALSE(layout.hasLine);
    for (const ChartPoint& p : layout.points) {
        EXPECT_TRUE(layout.frame.contains(p));
    }
}

TEST(ScatterChartGeometry, MantelChartShowsTheTestInItsLegendAndAxes)
{
    MantelResult res;
    res.method = MantelMethod::Spearman;
    res.greatCircle = true;
    res.geographic = {1.0, 2.0, 3.0};
    MantelMatrixResult m;
    m.name = "Scaled D-square";
    m.r = -0.51921;
    m.p = 0.04028;
    m.values = {3.0, 1.0, 2.0};
    res.matrices.push_back(m);
    const ScatterChartInput in = mantelChartInput(res, 0, "T");
    EXPECT_EQ(in.legend, "Least-squares line; Spearman r = -0.519, p = 0.0403");
    EXPECT_EQ(in.xTitle, "Geographic distance (km)");
    EXPECT_EQ(in.yTitle, "Scaled D-square");
    EXPECT_EQ(in.y, m.values);
    res.greatCircle = false;
    EXPECT_EQ(mantelChartInput(res, 0, "T").xTitle, "Geographic distance");
}

} // namespace
} // namespace tavrik
