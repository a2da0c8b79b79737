#include "chart/ChartLayout.h"

#include "chart/ChartAxes.h"
#include "report/NumberFormat.h"
#include "state/NumberText.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <limits>
#include <numeric>
#include <tuple>
#include <utility>

namespace tavrik {

namespace {

constexpr std::string_view typographicMinus = "\u2212";
constexpr double titleGap = 6.0; // between a title and the frame

// Weights of the label placement's cost, in points squared of overlap: leaving the frame is
// worse than covering a label, which is worse than covering a point, and so on.
constexpr double outsideWeight = 1000.0;
constexpr double labelWeight = 100.0;
constexpr double markerWeight = 50.0;
constexpr double tickLabelWeight = 20.0;
constexpr double axisLineWeight = 2.0;
constexpr double preferenceWeight = 1e-3; // per candidate rank: breaks ties only
constexpr int repairRounds = 12;
constexpr int leaderSteps = 24;       // label heights a crowded label may move outwards
constexpr double tickClearance = 1.0; // kept free between a name and a tick's number

// The Velbrand-Torvane chart's key above its frame.
constexpr double legendGap = 4.0;     // between a sample marker and its text
constexpr double legendSpacing = 2.0; // between the two rows
constexpr double dataPadding = 0.06;  // of a span, kept free at both ends of an axis

// Candidate boxes around point p, in order of preference: right, upper right, lower right,
// left, upper left, lower left, above, below.
std::array<ChartRect, 8> candidates(ChartPoint p, ChartSize s, double d)
{
    const double diag = d * std::sqrt(0.5);
    const double w = s.width;
    const double h = s.height;
    return {{
        {p.x + d, p.y - h / 2.0, w, h},
        {p.x + diag, p.y - diag - h, w, h},
        {p.x + diag, p.y + diag, w, h},
        {p.x - d - w, p.y - h / 2.0, w, h},
        {p.x - diag - w, p.y - diag - h, w, h},
        {p.x - diag - w, p.y + diag, w, h},
        {p.x - w / 2.0, p.y - d - h, w, h},
        {p.x - w / 2.0, p.y + d, w, h},
    }};
}

// The squares around the points' discs.
std::vector<ChartRect> discBoxes(const std::vector<ChartPoint>& points, double r)
{
    std::vector<ChartRect> boxes;
    for (const ChartPoint& p : points) {
        boxes.push_back({p.x - r, p.y - r, 2.0 * r, 2.0 * r});
    }
    return boxes;
}

// The points' discs and the centroid's cross.
std::vector<ChartRect> markerBoxes(const ChartLayout& layout)
{
    std::vector<ChartRect> boxes = discBoxes(layout.points, layout.style.pointRadius);
    const double c = layout.style.centroidSize;
    boxes.push_back({layout.centroid.x - c, layout.centroid.y - c, 2.0 * c, 2.0 * c});
    return boxes;
}

void dropTickLabels(ChartLayout& layout, const std::vector<ChartRect>& covering)
{
    for (auto* ticks : {&layout.xTicks, &layout.yTicks}) {
        for (ChartTick& t : *ticks) {
            for (const ChartRect& box : covering) {
                if (!t.label.empty() && overlapArea(t.labelBox, box) > 0.0) {
                    t.label.clear();
                    t.labelBox = {};
                }
            }
        }
    }
}

struct Obstacles
{
    std::vector<ChartRect> markers; // points and the centroid
    std::vector<ChartRect> tickLabels;
    std::vector<ChartRect> axisLines;
};

double placementCost(const ChartRect& box,
                     std::size_t self,
                     const std::vector<ChartRect>& labels,
                     const std::vector<bool>& placed,
                     const Obstacles& obstacles,
                     const ChartRect& frame)
{
    double cost = outsideWeight * (box.width * box.height - overlapArea(box, frame));
    for (std::size_t j = 0; j < labels.size(); ++j) {
        if (j != self && placed[j]) {
            cost += labelWeight * overlapArea(box, labels[j]);
        }
    }
    for (const ChartRect& m : obstacles.markers) {
        cost += markerWeight * overlapArea(box, m);
    }
    for (const ChartRect& t : obstacles.tickLabels) {
        cost += tickLabelWeight * overlapArea(box, t);
    }
    for (const ChartRect& a : obstacles.axisLines) {
        cost += axisLineWeight * overlapArea(box, a);
    }
    return cost;
}

ChartRect grown(const ChartRect& r, double by)
{
    return {r.left - by, r.top - by, r.width + 2.0 * by, r.height + 2.0 * by};
}

// Where the placement around the points leaves a label over another label, a marker or a
// tick's number (or touching that number), the label moves outwards, away from the middle of
// the points, to the nearest place clear of all of them; a leader line then joins it to its
// point. A label with no such place within reach stays where it was.
void moveCrowdedLabels(const std::vector<ChartPoint>& points,
                       const std::vector<ChartSize>& sizes,
                       double d,
                       const Obstacles& obstacles,
                       const ChartRect& frame,
                       std::vector<ChartRect>& boxes,
                       std::vector<bool>& leaders)
{
    const std::size_t g = points.size();
    leaders.assign(g, false);
    if (g == 0) {
        return;
    }
    ChartPoint middle;
    for (const ChartPoint& p : points) {
        middle.x += p.x / static_cast<double>(g);
        middle.y += p.y / static_cast<double>(g);
    }
    const auto clear = [&](const ChartRect& box, std::size_t self) {
        if (!frame.contains(box)) {
            return false;
        }
        for (std::size_t j = 0; j < g; ++j) {
            if (j != self && overlapArea(box, boxes[j]) > 0.0) {
                return false;
            }
        }
        for (const ChartRect& m : obstacles.markers) {
            if (overlapArea(box, m) > 0.0) {
                return false;
            }
        }
        const ChartRect near = grown(box, tickClearance);
        return std::none_of(obstacles.tickLabels.begin(),
                            obstacles.tickLabels.end(),
                            [&near](const ChartRect& t) { return overlapArea(near, t) > 0.0; });
    };
    for (std::size_t i = 0; i < g; ++i) {
        if (clear(boxes[i], i)) {
            continue;
        }
        for (int step = 1; step <= leaderSteps && !leaders[i]; ++step) {
            std::array<ChartRect, 8> options =
                candidates(points[i], sizes[i], d + step * sizes[i].height);
            // outwards first: the farther a box's centre from the middle, the better
            const auto outwards = [&middle](const ChartRect& b) {
                return std::hypot(b.left + b.width / 2.0 - middle.x,
                                  b.top + b.height / 2.0 - middle.y);
            };
            std::stable_sort(options.begin(),
                             options.end(),
                             [&outwards](const ChartRect& a, const ChartRect& b) {
                                 return outwards(a) > outwards(b);
                             });
            for (const ChartRect& option : options) {
                if (clear(option, i)) {
                    boxes[i] = option;
                    leaders[i] = true;
                    break;
                }
            }
        }
    }
}

// The boxes of labels of the given sizes next to points at distance d, inside frame wherever
// there is room. Greedy placement, most crowded points first, then rounds in which every label
// moves to its cheapest candidate given all the others; each move lowers the total cost, so
// this ends.
std::vector<ChartRect> placeLabels(const std::vector<ChartPoint>& points,
                                   const std::vector<ChartSize>& sizes,
                                   double d,
                                   const Obstacles& obstacles,
                                   const ChartRect& frame,
                                   std::vector<bool>& leaders)
{
    const std::size_t g = points.size();
    std::vector<ChartRect> boxes(g);

    std::vector<std::array<ChartRect, 8>> options(g);
    for (std::size_t i = 0; i < g; ++i) {
        options[i] = candidates(points[i], sizes[i], d);
    }

    auto bestFor = [&](std::size_t i, const std::vector<bool>& placed) {
        std::size_t best = 0;
        double bestCost = std::numeric_limits<double>::infinity();
        for (std::size_t k = 0; k < options[i].size(); ++k) {
            const double cost = placementCost(options[i][k], i, boxes, placed, obstacles, frame) +
                                preferenceWeight * static_cast<double>(k);
            if (cost < bestCost) {
                bestCost = cost;
                best = k;
            }
        }
        return best;
    };

    // crowding: how many other points lie within one label's reach
    std::vector<std::size_t> order(g);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::vector<int> neighbours(g, 0);
    for (std::size_t i = 0; i < g; ++i) {
        const double reach = sizes[i].width + d;
        for (std::size_t j = 0; j < g; ++j) {
            if (j != i && std::abs(points[j].x - points[i].x) < reach &&
                std::abs(points[j].y - points[i].y) < reach) {
                ++neighbours[i];
            }
        }
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return neighbours[a] > neighbours[b];
    });

    std::vector<bool> placed(g, false);
    std::vector<std::size_t> choice(g, 0);
    for (std::size_t i : order) {
        choice[i] = bestFor(i, placed);
        boxes[i] = options[i][choice[i]];
        placed[i] = true;
    }
    for (int round = 0; round < repairRounds; ++round) {
        bool moved = false;
        for (std::size_t i : order) {
            const std::size_t k = bestFor(i, placed);
            if (k != choice[i]) {
                const double now = placementCost(boxes[i], i, boxes, placed, obstacles, frame) +
                                   preferenceWeight * static_cast<double>(choice[i]);
                const double then =
                    placementCost(options[i][k], i, boxes, placed, obstacles, frame) +
                    preferenceWeight * static_cast<double>(k);
                if (then < now) {
                    choice[i] = k;
                    boxes[i] = options[i][k];
                    moved = true;
                }
            }
        }
        if (!moved) {
            break;
        }
    }
    moveCrowdedLabels(points, sizes, d, obstacles, frame, boxes, leaders);
    return boxes;
}

// The principal coordinates chart's labels: around the points, clear of the centroid, the
// ticks' numbers and the axes.
void placeLabels(ChartLayout& layout, const std::vector<ChartSize>& sizes)
{
    const ChartStyle& st = layout.style;
    Obstacles obstacles;
    obstacles.markers = markerBoxes(layout);
    for (const auto* ticks : {&layout.xTicks, &layout.yTicks}) {
        for (const ChartTick& t : *ticks) {
            if (!t.label.empty()) {
                obstacles.tickLabels.push_back(t.labelBox);
            }
        }
    }
    obstacles.axisLines.push_back({layout.frame.left, layout.xAxisY - 0.5, layout.frame.width, 1});
    obstacles.axisLines.push_back({layout.yAxisX - 0.5, layout.frame.top, 1, layout.frame.height});
    std::vector<bool> leaders;
    const std::vector<ChartRect> boxes = placeLabels(
        layout.points, sizes, st.pointRadius + st.labelGap, obstacles, layout.frame, leaders);
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        layout.labels[i].box = boxes[i];
        layout.labels[i].leader = leaders[i];
    }
}

// The smallest and largest finite value together with zero, widened when they coincide and
// padded at both ends.
std::pair<double, double> spanWithZero(const std::vector<double>& values, double emptySpan)
{
    double lo = 0.0;
    double hi = 0.0;
    for (double v : values) {
        if (std::isfinite(v)) {
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    }
    if (hi - lo <= 0.0) {
        hi = lo + emptySpan;
    }
    const double pad = dataPadding * (hi - lo);
    return {lo - pad, hi + pad};
}

} // namespace

double overlapArea(const ChartRect& a, const ChartRect& b)
{
    const double w = std::min(a.right(), b.right()) - std::max(a.left, b.left);
    const double h = std::min(a.bottom(), b.bottom()) - std::max(a.top, b.top);
    return w > 0.0 && h > 0.0 ? w * h : 0.0;
}

std::optional<ChartSegment> leaderLine(ChartPoint point, const ChartRect& box, double radius)
{
    const ChartPoint to{std::clamp(point.x, box.left, box.right()),
                        std::clamp(point.y, box.top, box.bottom())};
    const double length = std::hypot(to.x - point.x, to.y - point.y);
    if (length <= radius) {
        return std::nullopt;
    }
    const double k = radius / length;
    return ChartSegment{{point.x + (to.x - point.x) * k, point.y + (to.y - point.y) * k}, to};
}

double ChartStyle::fontSize(ChartFont font) const
{
    switch (font) {
    case ChartFont::Title:
        return titlePt;
    case ChartFont::AxisTitle:
        return axisTitlePt;
    case ChartFont::Tick:
        return tickPt;
    case ChartFont::PointLabel:
        return labelPt;
    }
    return labelPt;
}

ChartInput chartInputFrom(const AnalysisResults& results, bool scaled, std::string title)
{
    const Matrix& scores = scaled ? results.scaledPcScores : results.pcScores;
    ChartInput input;
    const std::size_t g = std::min(results.populationNames.size(), scores.rows());
    for (std::size_t i = 0; i < g && scores.cols() >= 2; ++i) {
        input.names.push_back(results.populationNames[i]);
        input.scores.push_back({scores(i, 0), scores(i, 1)});
    }
    input.shares = scaled ? results.scaledPcShares : results.pcShares;
    input.title = std::move(title);
    return input;
}

std::string axisTitle(int axis, const std::vector<double>& shares)
{
    assert(axis == 1 || axis == 2);
    std::string text = axis == 1 ? "PC I" : "PC II";
    const auto k = static_cast<std::size_t>(axis - 1);
    if (k < shares.size() && std::isfinite(shares[k])) {
        // the report's pattern, so the title and the report's share line round alike; the
        // pattern drops the zero before the point, which a chart keeps
        std::string percent = formatNumber(shares[k], "###.0");
        if (percent.starts_with('.')) {
            percent.insert(0, "0");
        } else if (percent.starts_with("-.")) {
            percent.insert(1, "0");
        }
        text += " (" + percent + " %)";
    }
    return text;
}

std::string tickText(double value, int decimals)
{
    std::string text = fixedText(value, decimals);
    if (text.starts_with('-')) {
        // a value that rounds to zero is written without a sign
        if (text.find_first_not_of("-0.") == std::string::npos) {
            return text.substr(1);
        }
        text.replace(0, 1, typographicMinus);
    }
    return text;
}

double niceStep(double rough)
{
    assert(rough > 0.0 && std::isfinite(rough));
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        // a small tolerance: rough = 0.2 must give 0.2, not 0.5, whatever log10 rounded to
        if (m * power >= rough * (1.0 - 1e-9)) {
            return m * power;
        }
    }
    return 10.0 * power;
}

namespace {

// The title, the frame and the axis titles along its bottom and left edges.
void layOutFrame(ChartLayout& layout, const ChartInput& input, const TextMeasure& measure)
{
    const double m = layout.style.margin;
    const double w = input.canvas.width;
    const double h = input.canvas.height;

    layout.xTitle = axisTitle(1, input.shares);
    layout.yTitle = axisTitle(2, input.shares);
    const ChartSize xTitleSize = measure(layout.xTitle, ChartFont::AxisTitle);
    const ChartSize yTitleSize = measure(layout.yTitle, ChartFont::AxisTitle);

    const double frameTop = layOutTitle(layout, input.title, measure);
    const double frameLeft = m + yTitleSize.height + titleGap;
    const double frameBottom = h - m - xTitleSize.height - titleGap;
    layout.frame = {frameLeft,
                    frameTop,
                    std::max(1.0, w - m - frameLeft),
                    std::max(1.0, frameBottom - frameTop)};
    const ChartRect& f = layout.frame;
    layout.xTitleBox = {f.left + (f.width - xTitleSize.width) / 2.0,
                        f.bottom() + titleGap,
                        xTitleSize.width,
                        xTitleSize.height};
    // turned a quarter left: the text's height runs along x, its width along y
    layout.yTitleBox = {
        m, f.top + (f.height - yTitleSize.width) / 2.0, yTitleSize.height, yTitleSize.width};
}

// One scale for both axes that fits the scores into the frame, and the axes through the
// origin (kept in the frame).
void fitScores(ChartLayout& layout, const std::vector<ChartPoint>& scores)
{
    const ChartRect& f = layout.frame;
    // The extent always holds the origin, so the centroid is drawn inside the frame.
    double xMin = 0.0;
    double xMax = 0.0;
    double yMin = 0.0;
    double yMax = 0.0;
    for (const ChartPoint& p : scores) {
        if (std::isfinite(p.x) && std::isfinite(p.y)) {
            xMin = std::min(xMin, p.x);
            xMax = std::max(xMax, p.x);
            yMin = std::min(yMin, p.y);
            yMax = std::max(yMax, p.y);
        }
    }
    if (xMax - xMin <= 0.0 && yMax - yMin <= 0.0) {
        // every point at the origin: show one unit around it
        xMin = yMin = -0.5;
        xMax = yMax = 0.5;
    }
    const double pad = layout.style.innerPadding * std::min(f.width, f.height);
    const double usableW = std::max(1.0, f.width - 2.0 * pad);
    const double usableH = std::max(1.0, f.height - 2.0 * pad);
    // a zero span divides to infinity and leaves the choice to the other axis
    layout.scale = std::min(usableW / (xMax - xMin), usableH / (yMax - yMin));
    layout.origin = {f.left + f.width / 2.0 - layout.scale * (xMin + xMax) / 2.0,
                     f.top + f.height / 2.0 + layout.scale * (yMin + yMax) / 2.0};
    layout.centroid = layout.origin;
    layout.xAxisY = std::clamp(layout.origin.y, f.top, f.bottom());
    layout.yAxisX = std::clamp(layout.origin.x, f.left, f.right());
}

// One step on both axes, a tick at every multiple of it inside the frame. The origin's tick
// carries no number: the centroid marks it.
void addTicks(ChartLayout& layout, const TextMeasure& measure)
{
    layout.tickStep = niceStep(layout.style.tickSpacing / layout.scale);
    const double step = layout.tickStep;
    const int decimals = tickDecimals(step);
    const double tl = layout.style.tickLength;
    const ChartRect& f = layout.frame;
    auto addAxisTicks = [&](std::vector<ChartTick>& ticks, double lo, double hi, bool horizontal) {
        for (auto k = static_cast<long>(std::ceil(lo / step - 1e-9));
             static_cast<double>(k) <= hi / step + 1e-9;
             ++k) {
            if (k == 0) {
                continue;
            }
            ChartTick t;
            t.value = static_cast<double>(k) * step;
            t.position =
                horizontal ? layout.toCanvas({t.value, 0.0}).x : layout.toCanvas({0.0, t.value}).y;
            t.label = tickText(t.value, decimals);
            const ChartSize s = measure(t.label, ChartFont::Tick);
            if (horizontal) {
                t.labelBox = {
                    t.position - s.width / 2.0, layout.xAxisY + tl + 1.0, s.width, s.height};
                if (t.labelBox.bottom() > f.bottom()) {
                    t.labelBox.top = layout.xAxisY - tl - 1.0 - s.height;
                }
            } else {
                t.labelBox = {layout.yAxisX - tl - 2.0 - s.width,
                              t.position - s.height / 2.0,
                              s.width,
                              s.height};
                if (t.labelBox.left < f.left) {
                    t.labelBox.left = layout.yAxisX + tl + 2.0;
                }
            }
            if (!f.contains(t.labelBox)) {
                // the mark stays, its number would cross the frame
                t.label.clear();
                t.labelBox = {};
            }
            ticks.push_back(std::move(t));
        }
    };
    addAxisTicks(layout.xTicks,
                 (f.left - layout.origin.x) / layout.scale,
                 (f.right() - layout.origin.x) / layout.scale,
                 true);
    addAxisTicks(layout.yTicks,
                 (layout.origin.y - f.bottom()) / layout.scale,
                 (layout.origin.y - f.top) / layout.scale,
                 false);
}

} // namespace

ChartLayout
layoutChart(const ChartInput& input, const TextMeasure& measure, const ChartStyle& style)
{
    assert(input.names.size() == input.scores.size());
    ChartLayout layout;
    layout.style = style;
    layout.canvas = input.canvas;
    layOutFrame(layout, input, measure);
    fitScores(layout, input.scores);
    addTicks(layout, measure);

    std::vector<ChartSize> sizes;
    for (std::size_t i = 0; i < input.names.size(); ++i) {
        layout.points.push_back(layout.toCanvas(input.scores[i]));
        layout.labels.push_back({input.names[i], {}});
        sizes.push_back(measure(input.names[i], ChartFont::PointLabel));
    }

    // The data come first: a tick's number gives way to a point or the centroid it would lie
    // under, and then to a population's name placed over it.
    dropTickLabels(layout, markerBoxes(layout));
    placeLabels(layout, sizes);
    std::vector<ChartRect> labelBoxes;
    for (const ChartLabel& label : layout.labels) {
        labelBoxes.push_back(grown(label.box, tickClearance)); // no name touches a number
    }
    dropTickLabels(layout, labelBoxes);
    return layout;
}

VtChartInput vtChartInputFrom(const AnalysisResults& results, std::string title)
{
    const Matrix& r = results.rMatrix;
    const std::size_t g = std::min(
        {results.populationNames.size(), results.residualVariance.size(), r.rows(), r.cols()});
    VtChartInput input;
    for (std::size_t i = 0; i < g; ++i) {
        input.names.push_back(results.populationNames[i]);
        input.rii.push_back(r(i, i));
        input.residual.push_back(results.residualVariance[i]);
    }
    input.title = std::move(title);
    return input;
}

VtChartLayout
layoutVtChart(const VtChartInput& input, const TextMeasure& measure, const ChartStyle& style)
{
    assert(input.names.size() == input.rii.size() && input.names.size() == input.residual.size());
    VtChartLayout layout;
    layout.style = style;
    layout.canvas = input.canvas;
    const double m = style.margin;
    const double w = input.canvas.width;
    const double r = style.pointRadius;

    // r(ii) from zero, the distance of a population at the centroid; the residuals on both
    // sides of zero, so that the zero line is always drawn.
    std::tie(layout.xMin, layout.xMax) = spanWithZero(input.rii, 0.1);
    std::tie(layout.yMin, layout.yMax) = spanWithZero(input.residual, 0.1);

    layout.xTitle = "r(ii), distance from the centroid";
    layout.yTitle = "Residual variance (observed minus expected)";
    const ChartSize xTitleSize = measure(layout.xTitle, ChartFont::AxisTitle);
    const ChartSize yTitleSize = measure(layout.yTitle, ChartFont::AxisTitle);

    double top = layOutTitle(layout, input.title, measure);
    // The key: one row per marker, the block centred above the frame.
    layout.legend = {
        {true, {}, "Above the line: more variance than expected (more gene flow from outside)", {}},
        {false,
         {},
         "Below the line: less variance than expected (less gene flow from outside)",
         {}},
    };
    double legendWidth = 0.0;
    for (VtLegendEntry& entry : layout.legend) {
        const ChartSize s = measure(entry.text, ChartFont::PointLabel);
        entry.box = {0.0, 0.0, s.width, s.height};
        legendWidth = std::max(legendWidth, 2.0 * r + legendGap + s.width);
    }
    const double legendLeft = std::max(m, (w - legendWidth) / 2.0);
    for (VtLegendEntry& entry : layout.legend) {
        const double rowHeight = std::max(entry.box.height, 2.0 * r);
        entry.marker = {legendLeft + r, top + rowHeight / 2.0};
        entry.box.left = legendLeft + 2.0 * r + legendGap;
        entry.box.top = top + (rowHeight - entry.box.height) / 2.0;
        top += rowHeight + legendSpacing;
    }
    const double frameTop = top - legendSpacing + titleGap;
    layOutFreeAxes(layout, frameTop, xTitleSize, yTitleSize, measure);
    layout.zeroY = layout.toCanvas({0.0, 0.0}).y;

    std::vector<ChartSize> sizes;
    for (std::size_t i = 0; i < input.names.size(); ++i) {
        layout.points.push_back(layout.toCanvas({input.rii[i], input.residual[i]}));
        layout.above.push_back(input.residual[i] > 0.0);
        layout.labels.push_back({input.names[i], {}});
        sizes.push_back(measure(input.names[i], ChartFont::PointLabel));
    }
    // The numbers are outside the frame, so only the points and the zero line are in the way.
    const ChartRect& f = layout.frame;
    Obstacles obstacles;
    obstacles.markers = discBoxes(layout.points, r);
    obstacles.axisLines.push_back({f.left, layout.zeroY - 0.5, f.width, 1.0});
    std::vector<bool> leaders;
    const std::vector<ChartRect> boxes =
        placeLabels(layout.points, sizes, r + style.labelGap, obstacles, f, leaders);
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        layout.labels[i].box = boxes[i];
        layout.labels[i].leader = leaders[i];
    }
    return layout;
}

} // namespace tavrik
