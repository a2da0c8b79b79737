#include "chart/SweepChartLayout.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <utility>

namespace tavrik {

namespace {

constexpr double titleGap = 6.0;       // between a title and what it names
constexpr double legendLine = 18.0;    // length of a legend's line sample
constexpr double legendGap = 4.0;      // between the sample and its name
constexpr double legendSpacing = 16.0; // between two legend entries
constexpr double dataPadding = 0.04;   // of a span, kept free at both ends of an axis

int decimalsFor(double step)
{
    const int magnitude = static_cast<int>(std::floor(std::log10(step) + 1e-9));
    return std::max(0, -magnitude);
}

// The multiples of step from lo to hi (both inclusive, with a little tolerance).
std::vector<double> multiples(double lo, double hi, double step)
{
    std::vector<double> values;
    for (auto k = static_cast<long>(std::ceil(lo / step - 1e-9));
         static_cast<double>(k) <= hi / step + 1e-9;
         ++k) {
        values.push_back(static_cast<double>(k) * step);
    }
    return values;
}

// The smallest and largest finite value of both series; false when there is none.
bool finiteRange(const SweepChartInput& input, double& lo, double& hi)
{
    bool any = false;
    for (const auto* values : {&input.fst, &input.fstUnbiased}) {
        for (double v : *values) {
            if (std::isfinite(v)) {
                lo = any ? std::min(lo, v) : v;
                hi = any ? std::max(hi, v) : v;
                any = true;
            }
        }
    }
    return any;
}

} // namespace

SweepChartInput sweepChartInputFrom(const SweepTable& table, std::string title)
{
    SweepChartInput input;
    for (const SweepRow& row : table.rows) {
        // the decimal as given, which the float of the run only approximates
        double h = static_cast<double>(row.point.heritability);
        const std::string& t = row.point.text;
        std::from_chars(t.data(), t.data() + t.size(), h);
        input.heritability.push_back(h);
        input.fst.push_back(row.fst);
        input.fstUnbiased.push_back(row.fstUnbiased);
    }
    input.title = std::move(title);
    return input;
}

ChartPoint SweepChartLayout::toCanvas(ChartPoint data) const
{
    return {frame.left + (data.x - xMin) / (xMax - xMin) * frame.width,
            frame.bottom() - (data.y - yMin) / (yMax - yMin) * frame.height};
}

SweepChartLayout
layoutSweepChart(const SweepChartInput& input, const TextMeasure& measure, const ChartStyle& style)
{
    SweepChartLayout layout;
    layout.style = style;
    layout.canvas = input.canvas;
    const double m = style.margin;
    const double w = input.canvas.width;
    const double h = input.canvas.height;
    const double tl = style.tickLength;

    // The data's extent: heritabilities across, Fst upwards from zero (or from below it).
    double hLo = 0.0;
    double hHi = 1.0;
    if (!input.heritability.empty()) {
        const auto [lo, hi] =
            std::minmax_element(input.heritability.begin(), input.heritability.end());
        hLo = *lo;
        hHi = *hi;
    }
    if (hHi - hLo <= 0.0) {
        hLo -= 0.05;
        hHi += 0.05;
    }
    double fLo = 0.0;
    double fHi = 0.0;
    finiteRange(input, fLo, fHi);
    fLo = std::min(fLo, 0.0);
    fHi = std::max(fHi, 0.0);
    if (fHi - fLo <= 0.0) {
        fHi = fLo + 0.1;
    }
    const double xPad = dataPadding * (hHi - hLo);
    const double yPad = dataPadding * (fHi - fLo);
    layout.xMin = hLo - xPad;
    layout.xMax = hHi + xPad;
    layout.yMin = fLo < 0.0 ? fLo - yPad : 0.0;
    layout.yMax = fHi + yPad;

    layout.xTitle = "Heritability";
    layout.yTitle = "Fst";
    const ChartSize xTitleSize = measure(layout.xTitle, ChartFont::AxisTitle);
    const ChartSize yTitleSize = measure(layout.yTitle, ChartFont::AxisTitle);
    const double tickHeight = measure("0", ChartFont::Tick).height;

    double top = m;
    if (!input.title.empty()) {
        layout.title = input.title;
        const ChartSize s = measure(layout.title, ChartFont::Title);
        layout.titleBox = {(w - s.width) / 2.0, top, s.width, s.height};
        top = layout.titleBox.bottom() + titleGap;
    }
    // the legend's row, centred above the frame
    layout.series = {{"Fst", {}, {}, {}, {}}, {"Unbiased Fst", {}, {}, {}, {}}};
    std::vector<ChartSize> legendSizes;
    double legendWidth = 0.0;
    for (const SweepSeries& s : layout.series) {
        legendSizes.push_back(measure(s.name, ChartFont::PointLabel));
        legendWidth += legendLine + legendGap + legendSizes.back().width;
    }
    legendWidth += legendSpacing * static_cast<double>(layout.series.size() - 1);
    double legendHeight = 0.0;
    for (const ChartSize& s : legendSizes) {
        legendHeight = std::max(legendHeight, s.height);
    }
    double x = (w - legendWidth) / 2.0;
    for (std::size_t i = 0; i < layout.series.size(); ++i) {
        SweepSeries& s = layout.series[i];
        const double mid = top + legendHeight / 2.0;
        s.legendLineFrom = {x, mid};
        s.legendLineTo = {x + legendLine, mid};
        s.legendBox = {x + legendLine + legendGap,
                       mid - legendSizes[i].height / 2.0,
                       legendSizes[i].width,
                       legendSizes[i].height};
        x = s.legendBox.right() + legendSpacing;
    }
    const double frameTop = top + legendHeight + titleGap;
    const double frameBottom = h - m - xTitleSize.height - titleGap - tickHeight - tl - 1.0;
    const double frameHeight = std::max(1.0, frameBottom - frameTop);

    // The vertical ticks first: their numbers' width decides where the frame begins.
    layout.yStep = niceStep(style.tickSpacing * (layout.yMax - layout.yMin) / frameHeight);
    const int yDecimals = decimalsFor(layout.yStep);
    double yLabelWidth = 0.0;
    for (double v : multiples(layout.yMin, layout.yMax, layout.yStep)) {
        ChartTick t;
        t.value = v;
        t.label = tickText(v, yDecimals);
        const ChartSize s = measure(t.label, ChartFont::Tick);
        t.labelBox = {0.0, 0.0, s.width, s.height};
        yLabelWidth = std::max(yLabelWidth, s.width);
        layout.yTicks.push_back(std::move(t));
    }
    const double frameLeft = m + yTitleSize.height + titleGap + yLabelWidth + tl + 2.0;
    layout.frame = {frameLeft, frameTop, std::max(1.0, w - m - frameLeft), frameHeight};
    const ChartRect& f = layout.frame;
    for (ChartTick& t : layout.yTicks) {
        t.position = layout.toCanvas({layout.xMin, t.value}).y;
        t.labelBox.left = f.left - tl - 2.0 - t.labelBox.width;
        t.labelBox.top = t.position - t.labelBox.height / 2.0;
    }

    layout.xStep = niceStep(style.tickSpacing * (layout.xMax - layout.xMin) / f.width);
    const int xDecimals = decimalsFor(layout.xStep);
    for (double v : multiples(layout.xMin, layout.xMax, layout.xStep)) {
        ChartTick t;
        t.value = v;
        t.position = layout.toCanvas({v, layout.yMin}).x;
        t.label = tickText(v, xDecimals);
        const ChartSize s = measure(t.label, ChartFont::Tick);
        t.labelBox = {t.position - s.width / 2.0, f.bottom() + tl + 1.0, s.width, s.height};
        layout.xTicks.push_back(std::move(t));
    }

    layout.xTitleBox = {f.left + (f.width - xTitleSize.width) / 2.0,
                        f.bottom() + tl + 1.0 + tickHeight + titleGap,
                        xTitleSize.width,
                        xTitleSize.height};
    // turned a quarter left: the text's height runs along x, its width along y
    layout.yTitleBox = {
        m, f.top + (f.height - yTitleSize.width) / 2.0, yTitleSize.height, yTitleSize.width};

    const std::vector<double>* values[] = {&input.fst, &input.fstUnbiased};
    for (std::size_t k = 0; k < layout.series.size(); ++k) {
        std::vector<std::vector<ChartPoint>>& segments = layout.series[k].segments;
        bool broken = true;
        const std::size_t n = std::min(input.heritability.size(), values[k]->size());
        for (std::size_t i = 0; i < n; ++i) {
            const double v = (*values[k])[i];
            if (!std::isfinite(v)) {
                broken = true;
                continue;
            }
            if (broken) {
                segments.emplace_back();
                broken = false;
            }
            segments.back().push_back(layout.toCanvas({input.heritability[i], v}));
        }
    }
    return layout;
}

} // namespace tavrik
