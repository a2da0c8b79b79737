#include "chart/SvgChart.h"

#include "chart/ChartTitles.h"
#include "chart/FontTable.h"
#include "chart/RunCharts.h"
#include "state/NumberText.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace tavrik {

namespace {

// The desktop painter's colours.
constexpr std::string_view white = "#ffffff";
constexpr std::string_view black = "#000000";
constexpr std::string_view frameColour = "#999999";
constexpr std::string_view pointColour = "#1f4e79";
constexpr std::string_view centroidColour = "#b01c1c";
constexpr std::string_view labelColour = "#202020";
constexpr std::string_view gridColour = "#dddddd";

// The painter's pen ends: square unless said otherwise, and its dashes, 4 widths drawn and 2
// left out.
enum class Cap { Square, Butt, Round };

struct Stroke
{
    std::string_view colour;
    double width = 1.0;
    Cap cap = Cap::Square;
    bool dashed = false;
};

// Text that XML takes as character data or in an attribute: the markup characters as
// entities, bytes that are no UTF-8 and the controls that XML forbids as U+FFFD.
void appendEscaped(std::string& out, std::string_view utf8)
{
    for (std::size_t pos = 0; pos < utf8.size();) {
        const std::size_t start = pos;
        char32_t c = nextCodePoint(utf8, pos);
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0xFFFE || c == 0xFFFF) {
            c = 0xFFFD;
        }
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        case 0xFFFD:
            out += "\xEF\xBF\xBD";
            break;
        default:
            out.append(utf8.substr(start, pos - start));
        }
    }
}

class SvgWriter
{
public:
    SvgWriter(ChartSize canvas, std::string_view title, const ChartStyle& style)
        : m_style(style)
    {
        const std::string w = svgNumber(canvas.width);
        const std::string h = svgNumber(canvas.height);
        m_out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" +
                w + "pt\" height=\"" + h + "pt\" viewBox=\"0 0 " + w + " " + h +
                "\" xml:space=\"preserve\">\n<title>";
        appendEscaped(m_out, title);
        m_out += "</title>\n";
        m_out += "<rect x=\"0\" y=\"0\" width=\"" + w + "\" height=\"" + h + "\" fill=\"";
        m_out.append(white);
        m_out += "\"/>\n";
    }

    void line(ChartPoint from, ChartPoint to, const Stroke& stroke)
    {
        m_out += "<line x1=\"" + svgNumber(from.x) + "\" y1=\"" + svgNumber(from.y) + "\" x2=\"" +
                 svgNumber(to.x) + "\" y2=\"" + svgNumber(to.y) + "\"";
        strokeAttributes(stroke);
        m_out += "/>\n";
    }

    void polyline(const std::vector<ChartPoint>& points, const Stroke& stroke)
    {
        m_out += "<polyline points=\"";
        for (std::size_t i = 0; i < points.size(); ++i) {
            m_out += (i == 0 ? "" : " ") + svgNumber(points[i].x) + "," + svgNumber(points[i].y);
        }
        m_out += "\" fill=\"none\"";
        strokeAttributes(stroke);
        m_out += "/>\n";
    }

    void frame(const ChartRect& r, const Stroke& stroke)
    {
        m_out += "<rect x=\"" + svgNumber(r.left) + "\" y=\"" + svgNumber(r.top) + "\" width=\"" +
                 svgNumber(r.width) + "\" height=\"" + svgNumber(r.height) + "\" fill=\"none\"";
        strokeAttributes(stroke);
        m_out += "/>\n";
    }

    void disc(ChartPoint centre, double radius, std::string_view fill, const Stroke& stroke)
    {
        m_out += "<circle cx=\"" + svgNumber(centre.x) + "\" cy=\"" + svgNumber(centre.y) +
                 "\" r=\"" + svgNumber(radius) + "\" fill=\"";
        m_out.append(fill);
        m_out += "\"";
        strokeAttributes(stroke);
        m_out += "/>\n";
    }

    // The text centred in box, as the painter centres it: it starts where its advance, as the
    // font table measures it, leaves equal room on both sides, and its baseline lies where the
    // ascent and descent of the role's face leave the line's middle at the box's middle. A
    // turned text reads upwards, box being its rectangle as drawn.
    void text(const ChartRect& box,
              std::string_view text,
              ChartFont role,
              std::string_view colour,
              bool turned = false)
    {
        if (text.empty()) {
            return;
        }
        const FontFace& face = chartFace(role);
        const double size = m_style.fontSize(role);
        const double start = -textAdvance(face, text, size) / 2.0;
        const double toBaseline = (fontAscent(face, size) - fontDescent(face, size)) / 2.0;
        const ChartPoint middle{box.left + box.width / 2.0, box.top + box.height / 2.0};
        m_out += "<text";
        if (turned) {
            m_out += " transform=\"translate(" + svgNumber(middle.x) + " " + svgNumber(middle.y) +
                     ") rotate(-90)\" x=\"" + svgNumber(start) + "\" y=\"" + svgNumber(toBaseline) +
                     "\"";
        } else {
            m_out += " x=\"" + svgNumber(middle.x + start) + "\" y=\"" +
                     svgNumber(middle.y + toBaseline) + "\"";
        }
        m_out += " font-family=\"";
        m_out.append(chartFontFamily);
        m_out += "\" font-size=\"" + svgNumber(size) + "\"";
        if (&face == &sansBold) {
            m_out += " font-weight=\"bold\"";
        }
        m_out += " fill=\"";
        m_out.append(colour);
        m_out += "\">";
        appendEscaped(m_out, text);
        m_out += "</text>\n";
    }

    std::string finish()
    {
        m_out += "</svg>\n";
        return std::move(m_out);
    }

private:
    void strokeAttributes(const Stroke& stroke)
    {
        m_out += " stroke=\"";
        m_out.append(stroke.colour);
        m_out += "\" stroke-width=\"" + svgNumber(stroke.width) + "\"";
        switch (stroke.cap) {
        case Cap::Square:
            m_out += " stroke-linecap=\"square\" stroke-linejoin=\"bevel\"";
            break;
        case Cap::Butt:
            m_out += " stroke-linejoin=\"bevel\"";
            break;
        case Cap::Round:
            m_out += " stroke-linecap=\"round\" stroke-linejoin=\"round\"";
            break;
        }
        if (stroke.dashed) {
            m_out += " stroke-dasharray=\"" + svgNumber(4.0 * stroke.width) + "," +
                     svgNumber(2.0 * stroke.width) + "\"";
        }
    }

    const ChartStyle& m_style;
    std::string m_out;
};

std::string_view titleOf(const TitledChart& layout, std::string_view untitled)
{
    return layout.title.empty() ? untitled : std::string_view(layout.title);
}

// The axis titles (the vertical one turned a quarter) and the title, alike in every chart.
std::string finishChart(SvgWriter& svg, const TitledChart& layout)
{
    svg.text(layout.xTitleBox, layout.xTitle, ChartFont::AxisTitle, black);
    svg.text(layout.yTitleBox, layout.yTitle, ChartFont::AxisTitle, black, true);
    svg.text(layout.titleBox, layout.title, ChartFont::Title, black);
    return svg.finish();
}

// The ticks below and left of the frame of a chart with free axes, with their numbers.
void freeAxisTicks(SvgWriter& svg, const FreeAxesChart& layout, const Stroke& pen)
{
    const ChartRect& f = layout.frame;
    const double length = layout.style.tickLength;
    for (const ChartTick& t : layout.xTicks) {
        svg.line({t.position, f.bottom()}, {t.position, f.bottom() + length}, pen);
        svg.text(t.labelBox, t.label, ChartFont::Tick, pen.colour);
    }
    for (const ChartTick& t : layout.yTicks) {
        svg.line({f.left - length, t.position}, {f.left, t.position}, pen);
        svg.text(t.labelBox, t.label, ChartFont::Tick, pen.colour);
    }
}

// A chart with free axes and a grid line at every vertical tick: the grid, the frame and the
// ticks.
void griddedChart(SvgWriter& svg, const FreeAxesChart& layout)
{
    const ChartRect& f = layout.frame;
    for (const ChartTick& t : layout.yTicks) {
        svg.line({f.left, t.position}, {f.right(), t.position}, {gridColour, 0.4});
    }
    const Stroke axis{black, 0.8};
    svg.frame(f, axis);
    freeAxisTicks(svg, layout, axis);
}

void leaders(SvgWriter& svg,
             const std::vector<ChartPoint>& points,
             const std::vector<ChartLabel>& labels,
             double radius)
{
    for (std::size_t i = 0; i < labels.size() && i < points.size(); ++i) {
        if (!labels[i].leader) {
            continue;
        }
        if (const auto leader = leaderLine(points[i], labels[i].box, radius)) {
            svg.line(leader->from, leader->to, {labelColour, 0.3});
        }
    }
}

void pointLabels(SvgWriter& svg, const std::vector<ChartLabel>& labels)
{
    for (const ChartLabel& label : labels) {
        svg.text(label.box, label.text, ChartFont::PointLabel, labelColour);
    }
}

} // namespace

std::string svgNumber(double value)
{
    const std::string fixed = fixedText(value, 3);
    std::string_view text(fixed);
    if (text.find('.') != std::string_view::npos) {
        while (text.back() == '0') {
            text.remove_suffix(1);
        }
        if (text.back() == '.') {
            text.remove_suffix(1);
        }
    }
    return text == "-0" ? "0" : std::string(text);
}

std::string svgChart(const ChartLayout& layout)
{
    const ChartStyle& st = layout.style;
    SvgWriter svg(layout.canvas, titleOf(layout, untitledPcChart), st);
    const ChartRect& f = layout.frame;
    svg.frame(f, {frameColour, 0.5});
    const Stroke axis{black, 0.8, Cap::Butt};
    svg.line({f.left, layout.xAxisY}, {f.right(), layout.xAxisY}, axis);
    svg.line({layout.yAxisX, f.top}, {layout.yAxisX, f.bottom()}, axis);

    // a tick points towards its number
    for (const ChartTick& t : layout.xTicks) {
        const double dir = !t.label.empty() && t.labelBox.top < layout.xAxisY ? -1.0 : 1.0;
        svg.line(
            {t.position, layout.xAxisY}, {t.position, layout.xAxisY + dir * st.tickLength}, axis);
        svg.text(t.labelBox, t.label, ChartFont::Tick, black);
    }
    for (const ChartTick& t : layout.yTicks) {
        const double dir = !t.label.empty() && t.labelBox.left > layout.yAxisX ? 1.0 : -1.0;
        svg.line(
            {layout.yAxisX, t.position}, {layout.yAxisX + dir * st.tickLength, t.position}, axis);
        svg.text(t.labelBox, t.label, ChartFont::Tick, black);
    }

    const double c = st.centroidSize;
    const ChartPoint m = layout.centroid;
    const Stroke cross{centroidColour, 1.4, Cap::Butt};
    svg.line({m.x - c, m.y}, {m.x + c, m.y}, cross);
    svg.line({m.x, m.y - c}, {m.x, m.y + c}, cross);

    for (const ChartPoint& p : layout.points) {
        svg.disc(p, st.pointRadius, pointColour, {black, 0.4});
    }
    leaders(svg, layout.points, layout.labels, st.pointRadius);
    pointLabels(svg, layout.labels);
    return finishChart(svg, layout);
}

std::string svgChart(const VtChartLayout& layout)
{
    const ChartStyle& st = layout.style;
    SvgWriter svg(layout.canvas, titleOf(layout, vtChartTitle), st);
    const ChartRect& f = layout.frame;
    svg.frame(f, {frameColour, 0.5});
    const Stroke axis{black, 0.8, Cap::Butt};
    svg.line({f.left, layout.zeroY}, {f.right(), layout.zeroY}, axis);
    freeAxisTicks(svg, layout, axis);

    // filled above the zero line, open below
    const auto marker = [&svg, &st](ChartPoint p, bool above) {
        if (above) {
            svg.disc(p, st.pointRadius, pointColour, {black, 0.4});
        } else {
            svg.disc(p, st.pointRadius, white, {pointColour, 1.2});
        }
    };
    for (std::size_t i = 0; i < layout.points.size(); ++i) {
        marker(layout.points[i], layout.above[i]);
    }
    for (const VtLegendEntry& entry : layout.legend) {
        marker(entry.marker, entry.above);
    }
    leaders(svg, layout.points, layout.labels, st.pointRadius);
    pointLabels(svg, layout.labels);
    for (const VtLegendEntry& entry : layout.legend) {
        svg.text(entry.box, entry.text, ChartFont::PointLabel, labelColour);
    }
    return finishChart(svg, layout);
}

std::string svgChart(const SweepChartLayout& layout)
{
    const ChartStyle& st = layout.style;
    SvgWriter svg(layout.canvas, titleOf(layout, untitledSweepChart), st);
    griddedChart(svg, layout);

    // Fst solid, unbiased Fst dashed and in the second colour
    const std::string_view colours[] = {pointColour, centroidColour};
    for (std::size_t k = 0; k < layout.series.size(); ++k) {
        const SweepSeries& s = layout.series[k];
        const std::string_view colour = colours[k % 2];
        const Stroke line{colour, 1.4, Cap::Round, k % 2 == 1};
        for (const auto& segment : s.segments) {
            svg.polyline(segment, line);
        }
        for (const auto& segment : s.segments) {
            for (const ChartPoint& p : segment) {
                svg.disc(p, st.pointRadius * 0.6, colour, {colour, 0.6});
            }
        }
        svg.line(s.legendLineFrom, s.legendLineTo, line);
        svg.text(s.legendBox, s.name, ChartFont::PointLabel, labelColour);
    }
    return finishChart(svg, layout);
}

std::string svgChart(const ScatterChartLayout& layout)
{
    const ChartStyle& st = layout.style;
    SvgWriter svg(layout.canvas, titleOf(layout, untitledScatterChart), st);
    griddedChart(svg, layout);

    for (const ChartPoint& p : layout.points) {
        svg.disc(p, st.pointRadius, pointColour, {black, 0.4});
    }
    const Stroke line{centroidColour, 1.4, Cap::Round, true};
    if (layout.hasLine) {
        svg.line(layout.lineFrom, layout.lineTo, line);
    }
    if (!layout.legend.empty()) {
        svg.line(layout.legendLineFrom, layout.legendLineTo, line);
        svg.text(layout.legendBox, layout.legend, ChartFont::PointLabel, labelColour);
    }
    return finishChart(svg, layout);
}

std::string svgChart(const TreeChartLayout& layout)
{
    SvgWriter svg(layout.canvas, titleOf(layout, untitledTreeChart), layout.style);
    // Square caps close the corners where a node's join meets its branches; a branch of no
    // length is left out, so that its cap does not draw it as a stub.
    for (const TreeSegment& s : layout.branches) {
        if (s.from.x != s.to.x || s.from.y != s.to.y) {
            svg.line(s.from, s.to, {black, 0.8});
        }
    }
    svg.line(layout.bar.from, layout.bar.to, {black, 0.8, Cap::Butt});
    pointLabels(svg, layout.labels);
    for (const ChartLabel& label : layout.supports) {
        svg.text(label.box, label.text, ChartFont::Tick, labelColour);
    }
    svg.text(layout.barLabel.box, layout.barLabel.text, ChartFont::Tick, labelColour);
    return finishChart(svg, layout);
}

bool isSvgPath(const std::string& path)
{
    constexpr std::string_view suffix = ".svg";
    if (path.size() < suffix.size()) {
        return false;
    }
    return std::equal(
        suffix.begin(),
        suffix.end(),
        path.end() - static_cast<std::ptrdiff_t>(suffix.size()),
        [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

namespace {

// Checks the file's name and writes the chart laid out, or why there is none.
template <typename Layout>
Result<std::string> svgFile(const std::string& path, const Result<Layout>& layout)
{
    const auto refused = [&path](const std::string& reason) {
        return Error::io("Cannot save \"" + path + "\": " + reason, path);
    };
    if (!isSvgPath(path)) {
        return refused("this program writes charts as SVG files only; the name must end in .svg");
    }
    if (!layout) {
        return refused(layout.error().message);
    }
    return svgChart(*layout);
}

} // namespace

Result<std::string> svgChartFileBytes(const std::string& path,
                                      const AnalysisResults& results,
                                      ChartKind kind,
                                      const std::string& title)
{
    if (kind == ChartKind::VelbrandTorvane) {
        return svgFile(path, vtChartOf(results, title, fontTableMeasure()));
    }
    return svgFile(path, pcChartOf(results, kind, title, fontTableMeasure()));
}

Result<std::string>
svgSweepChartFileBytes(const std::string& path, const SweepTable& table, const std::string& title)
{
    return svgFile(path, sweepChartOf(table, title, fontTableMeasure()));
}

Result<std::string> svgTreeChartFileBytes(const std::string& path,
                                          const Tree& tree,
                                          std::optional<std::size_t> rootTip,
                                          const std::string& title,
                                          const std::string& unit)
{
    return svgFile(path, treeChartOf(tree, rootTip, title, unit, fontTableMeasure()));
}

} // namespace tavrik
