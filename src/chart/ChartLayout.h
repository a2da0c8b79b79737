// Geometry of the principal coordinates chart and of the Velbrand-Torvane chart, free of any
// drawing toolkit: the data-to-canvas transform, nice ticks, axes or the zero line, point and
// label positions. Canvas units are points (1/72 inch), x to the right, y downwards.
#pragma once

#include "state/ProgramState.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrik {

struct ChartPoint
{
    double x = 0.0;
    double y = 0.0;
};

struct ChartSize
{
    double width = 0.0;
    double height = 0.0;
};

struct ChartRect
{
    double left = 0.0;
    double top = 0.0;
    double width = 0.0;
    double height = 0.0;

    double right() const { return left + width; }
    double bottom() const { return top + height; }
    bool contains(ChartPoint p) const
    {
        return p.x >= left && p.x <= right() && p.y >= top && p.y <= bottom();
    }
    bool contains(const ChartRect& r) const
    {
        return r.left >= left && r.right() <= right() && r.top >= top && r.bottom() <= bottom();
    }
};

// Area shared by two rectangles; 0 when they only touch.
double overlapArea(const ChartRect& a, const ChartRect& b);

struct ChartSegment
{
    ChartPoint from;
    ChartPoint to;
};

// The leader of a label moved away from its crowded point: from the edge of the point's disc
// to the nearest spot of the label's box; none when that spot lies within the disc.
std::optional<ChartSegment> leaderLine(ChartPoint point, const ChartRect& box, double radius);

// The text roles, each with its own font size (ChartStyle).
enum class ChartFont { Title, AxisTitle, Tick, PointLabel };

// Size in points of a text set in the role's font; supplied by the drawing side.
using TextMeasure = std::function<ChartSize(std::string_view utf8, ChartFont font)>;

struct ChartStyle
{
    double margin = 14.0; // canvas edge to the frame's decorations
    double titlePt = 12.0;
    double axisTitlePt = 10.0;
    double tickPt = 8.0;
    double labelPt = 8.0;
    double pointRadius = 3.0;
    double centroidSize = 5.0; // half the arm of the centroid's cross
    double tickLength = 4.0;
    double labelGap = 2.0;      // between a point's marker and its label
    double tickSpacing = 60.0;  // wanted distance between ticks; the step is rounded to 1-2-5
    double innerPadding = 0.06; // of the frame's smaller side, kept free around the data
    double fontSize(ChartFont font) const;
};

struct ChartInput
{
    std::vector<std::string> names; // UTF-8, one per population
    std::vector<ChartPoint> scores; // data coordinates: axis I, axis II
    std::vector<double> shares;     // percent of variation of axes I and II; may be empty
    std::string title;              // empty: no title line
    ChartSize canvas{504.0, 504.0}; // 7 x 7 inches
};

// The first two principal coordinates of the last run (scaled: those of the scaled R matrix).
ChartInput chartInputFrom(const AnalysisResults& results, bool scaled, std::string title);

struct ChartTick
{
    double value = 0.0;    // data units
    double position = 0.0; // canvas x (horizontal axis) or y (vertical axis)
    std::string label;
    ChartRect labelBox;
};

struct ChartLabel
{
    std::string text;
    ChartRect box;       // the text's rectangle
    bool leader = false; // moved away from its crowded point, and joined to it by a line
};

// What every chart has: its style and canvas, the title above it and the two axis titles.
struct TitledChart
{
    ChartStyle style;
    ChartSize canvas;
    std::string title;
    ChartRect titleBox;
    std::string xTitle;
    ChartRect xTitleBox;
    std::string yTitle;
    ChartRect yTitleBox; // the box of the text turned a quarter left, as drawn
};

// A chart that plots one value against another: each axis with its own range and nice ticks
// along the frame's left and bottom edges.
struct FreeAxesChart : TitledChart
{
    ChartRect frame;   // every point lies inside it
    double xMin = 0.0; // data shown at the frame's left and right edges
    double xMax = 1.0;
    double yMin = 0.0; // at the bottom and top edges
    double yMax = 1.0;
    double xStep = 0.1; // tick steps, 1, 2 or 5 times a power of ten
    double yStep = 0.1;
    std::vector<ChartTick> xTicks; // marks below the bottom edge, numbers under them
    std::vector<ChartTick> yTicks; // marks left of the left edge, numbers left of them

    ChartPoint toCanvas(ChartPoint data) const;
};

struct ChartLayout : TitledChart
{
    ChartRect frame;       // the plotting area; every point lies inside it
    double scale = 1.0;    // points per data unit, the same on both axes
    ChartPoint origin;     // canvas position of data (0, 0)
    double xAxisY = 0.0;   // canvas y of the horizontal axis (the origin's, kept in the frame)
    double yAxisX = 0.0;   // canvas x of the vertical axis
    double tickStep = 1.0; // data units, 1, 2 or 5 times a power of ten, both axes
    std::vector<ChartTick> xTicks;
    std::vector<ChartTick> yTicks;
    std::vector<ChartPoint> points; // canvas positions, population order
    std::vector<ChartLabel> labels; // population order
    ChartPoint centroid;

    ChartPoint toCanvas(ChartPoint data) const
    {
        return {origin.x + scale * data.x, origin.y - scale * data.y};
    }
};

// "PC I (62.4 %)": the axis number in Roman digits, the share with one decimal when known.
std::string axisTitle(int axis, const std::vector<double>& shares);

// Locale-free tick text with the given number of decimals and a typographic minus.
std::string tickText(double value, int decimals);

// Smallest step of the form 1, 2 or 5 times a power of ten that is at least rough (> 0).
double niceStep(double rough);

ChartLayout
layoutChart(const ChartInput& input, const TextMeasure& measure, const ChartStyle& style = {});

// What a chart file or the chart window shows of a run.
enum class ChartKind { PrincipalCoords, ScaledPrincipalCoords, VelbrandTorvane };

struct VtChartInput
{
    std::vector<std::string> names; // UTF-8, one per population
    std::vector<double> rii;        // r(ii), the distance from the centroid
    std::vector<double> residual;   // observed minus expected within-group variance
    std::string title;              // empty: no title line
    ChartSize canvas{504.0, 504.0}; // 7 x 7 inches
};

// The r(ii) of the report's Velbrand-Torvane table (after the sampling-bias correction when it
// was requested) and the residual variances of the last run.
VtChartInput vtChartInputFrom(const AnalysisResults& results, std::string title);

// One row of the key above the frame: a marker as the points are drawn, and its meaning.
struct VtLegendEntry
{
    bool above = false; // the filled marker of a residual above zero; else the open one
    ChartPoint marker;  // centre of the sample marker
    std::string text;
    ChartRect box; // the text's rectangle
};

struct VtChartLayout : FreeAxesChart
{
    double zeroY = 0.0;                // canvas y of the zero line across the frame
    std::vector<ChartPoint> points;    // canvas positions, population order
    std::vector<bool> above;           // residual > 0: more variance than expected
    std::vector<ChartLabel> labels;    // population order
    std::vector<VtLegendEntry> legend; // above, then below
};

VtChartLayout
layoutVtChart(const VtChartInput& input, const TextMeasure& measure, const ChartStyle& style = {});

} // namespace tavrik
