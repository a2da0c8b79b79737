// Geometry of the principal coordinates and Velbrand-Torvane charts, measured with a fixed-width
// stand-in font so every size below can be worked out by hand: a text is 0.5 x size wide per
// character and 1.2 x size high.

#include "chart/ChartLayout.h"

#include "analysis/AnalysisRun.h"
#include "datafile/DataFileReader.h"
#include "report/NumberFormat.h"

#include <cmath>
#include <cstddef>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

#include "ChartTestSupport.h"

namespace tavrik {
namespace {

using test::fixedWidth;
using test::tickLabels;
using test::tolerance;

ChartInput input(std::vector<ChartPoint> scores)
{
    ChartInput in;
    for (std::size_t i = 0; i < scores.size(); ++i) {
        in.names.push_back("Pop" + std::to_string(i + 1));
    }
    in.scores = std::move(scores);
    in.shares = {70.0, 20.0};
    return in;
}

// Three populations whose coordinates sum to zero on both axes, as principal coordinates do.
const std::vector<ChartPoint> threePopulations = {{1.0, 0.5}, {-0.6, 0.2}, {-0.4, -0.7}};

TEST(ChartGeometry, KeepsOneScaleForBothAxesAndPutsTheCentroidAtTheOrigin)
{
    const ChartLayout layout = layoutChart(input(threePopulations), fixedWidth);
    ASSERT_EQ(layout.points.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(layout.frame.contains(layout.points[i])) << "population " << i + 1;
        const std::size_t j = (i + 1) % 3;
        const double dxCanvas = layout.points[j].x - layout.points[i].x;
        const double dyCanvas = layout.points[j].y - layout.points[i].y;
        EXPECT_NEAR(dxCanvas / (threePopulations[j].x - threePopulations[i].x),
                    -dyCanvas / (threePopulations[j].y - threePopulations[i].y),
                    tolerance)
            << "one scale, canvas y downwards";
    }
    // the mean of the points is the origin, where both axes cross
    EXPECT_NEAR(layout.centroid.x,
                (layout.points[0].x + layout.points[1].x + layout.points[2].x) / 3,
                tolerance);
    EXPECT_NEAR(layout.centroid.y,
                (layout.points[0].y + layout.points[1].y + layout.points[2].y) / 3,
                tolerance);
    EXPECT_NEAR(layout.yAxisX, layout.centroid.x, tolerance);
    EXPECT_NEAR(layout.xAxisY, layout.centroid.y, tolerance);
    // the data sit in the middle of the frame
    EXPECT_NEAR(layout.points[1].x - layout.frame.left,
                layout.frame.right() - layout.points[0].x,
                tolerance);
    EXPECT_NEAR(layout.points[0].y - layout.frame.top,
                layout.frame.bottom() - layout.points[2].y,
                tolerance);

    // By hand for the 504-point canvas: the frame is 458 points wide, the data 1.6 units wide
    // (x decides, y spans 1.2) with 6 % of the frame free on each side, so one unit is 251.9
    // points; 60 points are then 0.238 units, rounded up to a step of 0.5. The frame shows x
    // from -0.709 to 1.109 units; the origin's tick has no number.
    EXPECT_NEAR(layout.scale, 458.0 * 0.88 / 1.6, 1e-9);
    EXPECT_DOUBLE_EQ(layout.tickStep, 0.5);
    EXPECT_EQ(tickLabels(layout.xTicks), (std::vector<std::string>{"\u22120.5", "0.5", "1.0"}));
    for (const ChartTick& t : layout.yTicks) {
        EXPECT_NEAR(t.position, layout.toCanvas({0.0, t.value}).y, tolerance);
    }
    EXPECT_LE(layout.yTicks.front().value, -0.7 + 0.5);
    EXPECT_GE(layout.yTicks.back().value, 0.5 - 0.5);
}

TEST(ChartGeometry, TitlesTheAxesWithTheirShareOfTheVariation)
{
    ChartInput in = input(threePopulations);
    in.shares = {62.44, 0.25};
    in.title = "Four villages";
    const ChartLayout layout = layoutChart(in, fixedWidth);
    EXPECT_EQ(layout.xTitle, "PC I (62.4 %)");
    EXPECT_EQ(layout.yTitle, "PC II (0.3 %)"); // halves away from zero, as in the report
    EXPECT_LE(layout.titleBox.bottom(), layout.frame.top);
    EXPECT_GE(layout.xTitleBox.top, layout.frame.bottom());
    EXPECT_LE(layout.yTitleBox.right(), layout.frame.left);

    in.shares.clear();
    EXPECT_EQ(layoutChart(in, fixedWidth).yTitle, "PC II");
}

TEST(ChartGeometry, ShowsARunWithoutVariationAroundTheCentroid)
{
    // no non-zero eigenvalue: every score is 0
    const ChartLayout layout = layoutChart(input({{0.0, 0.0}, {0.0, 0.0}}), fixedWidth);
    ASSERT_TRUE(std::isfinite(layout.scale));
    EXPECT_NEAR(layout.points[1].x, layout.centroid.x, tolerance);
    EXPECT_TRUE(layout.frame.contains(layout.centroid));
}

TEST(ChartNumbers, StepsAndTickTexts)
{
    EXPECT_DOUBLE_EQ(niceStep(0.2), 0.2);
    EXPECT_DOUBLE_EQ(niceStep(0.011), 0.02);
    EXPECT_DOUBLE_EQ(niceStep(7.0), 10.0);
    EXPECT_EQ(tickText(-0.30000000000000004, 1), "\u22120.3");
    EXPECT_EQ(tickText(2.0, 0), "2");
    EXPECT_EQ(tickText(-0.0001, 2), "0.00"); // no sign on a zero
}

// Overlap of two label boxes, strictly (touching is fine).
bool overlap(const ChartRect& a, const ChartRect& b)
{
    return overlapArea(a, b) > 1e-9;
}

// One label per population, each with its own name, every name inside the frame, clear of the
// other names and of every point.
template <typename Layout>
void expectLabelsApart(const Layout& layout, const std::vector<std::string>& names)
{
    ASSERT_EQ(layout.labels.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(layout.labels[i].text, names[i]) << "label " << i + 1;
    }
    const double r = layout.style.pointRadius;
    for (std::size_t i = 0; i < layout.labels.size(); ++i) {
        const ChartRect& box = layout.labels[i].box;
        EXPECT_TRUE(layout.frame.contains(box)) << layout.labels[i].text;
        for (std::size_t j = i + 1; j < layout.labels.size(); ++j) {
            EXPECT_FALSE(overlap(box, layout.labels[j].box))
                << layout.labels[i].text << " and " << layout.labels[j].text;
        }
        for (std::size_t k = 0; k < layout.points.size(); ++k) {
            const ChartPoint p = layout.points[k];
            EXPECT_FALSE(overlap(box, {p.x - r, p.y - r, 2 * r, 2 * r}))
                << layout.labels[i].text << " covers point " << k + 1;
        }
    }
    // a tick's number never hides under a name or a point
    for (const auto* ticks : {&layout.xTicks, &layout.yTicks}) {
        for (const ChartTick& t : *ticks) {
            if (t.label.empty()) {
                continue;
            }
            for (const ChartLabel& label : layout.labels) {
                EXPECT_FALSE(overlap(t.labelBox, label.box)) << t.label << " " << label.text;
            }
            for (const ChartPoint& p : layout.points) {
                EXPECT_FALSE(overlap(t.labelBox, {p.x - r, p.y - r, 2 * r, 2 * r})) << t.label;
            }
        }
    }
}

TEST(ChartLabels, KeepApartInClustersRowsAndAtTheFrameEdges)
{
    // the extreme points sit near every side of the frame, with names of 29 characters (116
    // points), longer than the free margin around the data (about 28 points)
    ChartInput edges =
        input({{1.0, 0.0}, {-1.0, 0.0}, {0.0, 1.0}, {0.0, -1.0}, {0.9, 0.9}, {-0.9, -0.9}});
    for (std::string& name : edges.names) {
        name += " of the far eastern coast";
    }
    // five points 12 points apart on a line and one far away: room only above and below
    ChartInput row = input({{0.0, 0.0}, {0.03, 0.0}, {0.06, 0.0}, {0.09, 0.0}, {0.12, 0.0}});
    row.scores.push_back({-1.0, 1.0});
    row.names.push_back("Far");
    const struct
    {
        const char* what;
        ChartInput in;
    } cases[] = {
        // two columns of three, 0.03 units apart (about 12 points), far from one outlier that
        // sets the scale; each label is 20 points wide, wider than the gaps
        {"tight cluster",
         input({{0.0, 0.0},
                {0.03, 0.0},
                {0.0, 0.03},
                {0.03, 0.03},
                {0.0, 0.06},
                {0.03, 0.06},
                {-1.0, -1.0}})},
        {"row", row},
        {"frame edges", edges},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        expectLabelsApart(layoutChart(c.in, fixedWidth), c.in.names);
    }
}

// The kept shares against the report's own lines for the same run, whose text comes from an
// independent model of the analysis; the Velbrand-Torvane chart shows the report table's r(ii)
// column (the corrected diagonal, not its "Biased r(ii)" column) and its residuals.
TEST(ChartInputs, MatchTheReportedSharesRiiAndResiduals)
{
    RunInput in;
    auto dataSet = loadDataSet(std::string(TAVRIK_TEST_DATA) + "/golden/small_scaled.tvk");
    ASSERT_TRUE(dataSet.ok()) << dataSet.error().message;
    in.dataSet = dataSet.value();
    in.settings.scaledAnalysis = true;
    in.selection.popSelected.assign(4, true);
    in.selection.varSelected.assign(3, true);
    NullProgress progress;
    const Clock clock = fixedUtcClock(1765000000);
    auto run = runAnalysis(in, clock, progress);
    ASSERT_TRUE(run.ok()) << run.error().message;
    const AnalysisResults& r = run->results;
    ASSERT_EQ(r.pcShares.size(), 2u);
    ASSERT_EQ(r.scaledPcShares.size(), 2u);
    EXPECT_EQ(formatNumber(r.pcShares[0], "###.0"), "96.4");
    EXPECT_EQ(formatNumber(r.pcShares[1], "###.0"), "3.6");
    EXPECT_EQ(formatNumber(r.scaledPcShares[0], "###.0"), "98.4");
    EXPECT_EQ(formatNumber(r.scaledPcShares[1], "###.0"), "1.6");

    const ChartInput scaled = chartInputFrom(r, true, "");
    EXPECT_EQ(axisTitle(1, scaled.shares), "PC I (98.4 %)");
    ASSERT_EQ(scaled.scores.size(), 4u);
    EXPECT_EQ(scaled.scores[3].y, r.scaledPcScores(3, 1));
    EXPECT_EQ(scaled.names[0], "North");

    const VtChartInput chart = vtChartInputFrom(run->results, "");
    EXPECT_EQ(chart.names, (std::vector<std::string>{"North", "Coast", "Hills", "Lakes"}));
    ASSERT_EQ(chart.rii.size(), 4u);
    ASSERT_EQ(chart.residual.size(), 4u);
    const char* rii[] = {"0.019814", "0.291204", "0.242987", "0.526160"};
    const char* residual[] = {"-0.170", " 0.218", "-0.184", " 0.034"};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(formatNumber(chart.rii[i], "0.000000"), rii[i]) << chart.names[i];
        EXPECT_EQ(formatNumber(chart.residual[i], " 0.000;-0.000"), residual[i]) << chart.names[i];
    }
    EXPECT_EQ(layoutVtChart(chart, fixedWidth).above,
              (std::vector<bool>{false, true, false, true}));

    // a run that has not happened draws nothing
    EXPECT_TRUE(vtChartInputFrom(AnalysisResults{}, "").names.empty());

    in.settings.scaledAnalysis = false;
    auto single = runAnalysis(in, clock, progress);
    ASSERT_TRUE(single.ok());
    EXPECT_TRUE(single->results.scaledPcShares.empty());
}

VtChartInput vtInput(std::vector<double> rii, std::vector<double> residual)
{
    VtChartInput in;
    for (std::size_t i = 0; i < rii.size(); ++i) {
        in.names.push_back("Pop" + std::to_string(i + 1));
    }
    in.rii = std::move(rii);
    in.residual = std::move(residual);
    return in;
}

// The Velbrand-Torvane chart: r(ii) across, residual variance upwards, each axis with its own
// scale and its numbers outside the frame, a line at zero and a key above the frame.
TEST(VtChartGeometry, PlacesFrameZeroLineAndPointsAsWorkedOutByHand)
{
    const VtChartInput in = vtInput({0.1, 0.3, 0.5}, {0.05, -0.1, 0.15});
    const VtChartLayout layout = layoutVtChart(in, fixedWidth);

    // Heights on the 504-point canvas: margin 14, two key rows of 9.6 with 2 between them and
    // a gap of 6 above the frame (41.2); below it the ticks (4 + 1), their numbers (9.6), a gap
    // of 6, the axis title (12) and the margin: 457.4. Widths: margin 14, the turned title
    // (12), a gap of 6, the widest number "-0.10" (20), the tick and 2 points: 58, up to 490.
    EXPECT_NEAR(layout.frame.top, 41.2, tolerance);
    EXPECT_NEAR(layout.frame.bottom(), 457.4, tolerance);
    EXPECT_NEAR(layout.frame.left, 58.0, tolerance);
    EXPECT_NEAR(layout.frame.right(), 490.0, tolerance);

    // r(ii) from 0 to 0.5 and residuals from -0.1 to 0.15, each span padded by 6 % at both
    // ends: x from -0.03 to 0.53, y from -0.115 to 0.165.
    const double frameHeight = 457.4 - 41.2;
    EXPECT_NEAR(layout.zeroY, 457.4 - frameHeight * 0.115 / 0.28, tolerance);
    ASSERT_EQ(layout.points.size(), 3u);
    EXPECT_NEAR(layout.points[1].x, 58.0 + 432.0 * 0.33 / 0.56, tolerance);
    EXPECT_NEAR(layout.points[1].y, 457.4 - frameHeight * 0.015 / 0.28, tolerance);
    EXPECT_NEAR(layout.points[2].y, 457.4 - frameHeight * 0.265 / 0.28, tolerance);
    EXPECT_EQ(layout.above, (std::vector<bool>{true, false, true}));

    // 60 points are 0.040 units of variance (step 0.05); the zero line is where the vertical
    // axis reads 0
    EXPECT_EQ(
        tickLabels(layout.yTicks),
        (std::vector<std::string>{"\u22120.10", "\u22120.05", "0.00", "0.05", "0.10", "0.15"}));
    EXPECT_NEAR(layout.yTicks[2].position, layout.zeroY, tolerance);

    // the key above the frame, on the canvas
    ASSERT_EQ(layout.legend.size(), 2u);
    for (const VtLegendEntry& entry : layout.legend) {
        EXPECT_LE(entry.box.bottom(), layout.frame.top);
        EXPECT_GE(entry.box.left, layout.style.margin);
        EXPECT_LE(entry.box.right(), 504.0 - layout.style.margin);
    }
    EXPECT_FALSE(overlap(layout.legend[0].box, layout.legend[1].box));
    expectLabelsApart(layout, in.names);
}

TEST(VtChartGeometry, KeepsTheZeroLineInsideTheFrameWhateverTheResiduals)
{
    // every population above the line: zero is the lowest value shown, still padded
    const VtChartLayout allAbove = layoutVtChart(vtInput({0.2, 0.4}, {0.1, 0.3}), fixedWidth);
    EXPECT_LT(allAbove.zeroY, allAbove.frame.bottom());
    EXPECT_GT(allAbove.zeroY, allAbove.points[0].y);
    EXPECT_EQ(allAbove.above, (std::vector<bool>{true, true}));

    // Identical means with the bias correction: every r(ii) and every residual is 0. The
    // points sit on the zero line, at r(ii) = 0 inside the frame, and count as not above.
    const VtChartLayout flat = layoutVtChart(vtInput({0.0, 0.0}, {0.0, 0.0}), fixedWidth);
    ASSERT_TRUE(std::isfinite(flat.zeroY));
    EXPECT_TRUE(flat.frame.contains(flat.points[0]));
    EXPECT_GT(flat.points[0].x - flat.style.pointRadius, flat.frame.left);
    EXPECT_NEAR(flat.points[0].y, flat.zeroY, tolerance);
    EXPECT_EQ(flat.above, (std::vector<bool>{false, false}));
}

TEST(VtChartLabels, KeepApartInATightClusterAndAlongTheZeroLine)
{
    // Two columns of three about 13 points apart, one population far away that sets the scale,
    // and a row on the line itself, each name (16 points) wider than the gaps.
    VtChartInput in = vtInput({0.10, 0.13, 0.10, 0.13, 0.10, 0.13, 0.9, 0.3, 0.33, 0.36, 0.39},
                              {0.01, 0.01, 0.03, 0.03, 0.05, 0.05, -0.5, 0.0, 0.0, 0.0, 0.0});
    in.names[6] = "Far away on the eastern coast";
    expectLabelsApart(layoutVtChart(in, fixedWidth), in.names);
}

} // namespace
} // namespace tavrik
