// The charts written as SVG without Qt: the font table measures as the desktop's font engine
// does (the expected widths are what Qt's measure gave for Liberation Sans), every label and
// point of a layout is in the file with its text escaped, and numbers take their short form.
#include "chart/SvgChart.h"

#include "chart/FontTable.h"

#include <cstddef>
#include <gtest/gtest.h>
#include <string>
#include <string_view>
#include <vector>

#include "SvgSamples.h"

namespace tavrik {
namespace {

using test::awkwardNames;

// The names of awkwardNames() as XML writes them.
const std::vector<std::string> escapedNames = {"Nord &amp; S\u00fcd",
                                               "&lt;Hill&gt;",
                                               "Plain &quot;A&quot;",
                                               "Bren&apos;s Ford",
                                               "\u00d8resund",
                                               "AVA Tway"};

std::size_t count(const std::string& text, const std::string& part)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

std::string textElement(const std::string& escaped)
{
    return ">" + escaped + "</text>";
}

std::string circleAt(ChartPoint p)
{
    return "<circle cx=\"" + svgNumber(p.x) + "\" cy=\"" + svgNumber(p.y) + "\"";
}

// Every tick's number and the titles of a chart, each in a text element.
void expectTitlesAndTicks(const std::string& svg,
                          const TitledChart& chart,
                          const std::vector<ChartTick>& xTicks,
                          const std::vector<ChartTick>& yTicks)
{
    for (const std::string* title : {&chart.xTitle, &chart.yTitle}) {
        EXPECT_GE(count(svg, textElement(*title)), 1u) << *title;
    }
    for (const auto* ticks : {&xTicks, &yTicks}) {
        for (const ChartTick& t : *ticks) {
            if (!t.label.empty()) {
                EXPECT_GE(count(svg, textElement(t.label)), 1u) << t.label;
            }
        }
    }
    EXPECT_TRUE(svg.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg "));
    EXPECT_TRUE(svg.ends_with("</svg>\n"));
}

TEST(FontTable, MeasuresAsTheDesktopsFontEngineDoes)
{
    struct Case
    {
        std::string_view text;
        const FontFace* face;
        double size;
        double width; // Qt's horizontal advance, in points
    };
    const Case cases[] = {
        {"iiii", &sansRegular, 8.0, 7.0625}, // each advance rounded down to 1/64
        {"AVAVAV", &sansRegular, 8.0, 29.0}, // kerned
        {"AVAVAV", &sansBold, 10.0, 37.953125},
        {"Nord & S\u00fcd", &sansRegular, 8.0, 41.265625},
        {"\u22120.25", &sansRegular, 8.0, 20.203125},
        {"\u00d8resund", &sansBold, 12.0, 49.3125},
        {"PC I (62.4 %)", &sansRegular, 10.0, 59.890625},
        {"Principal Coordinates of R Matrix", &sansBold, 12.0, 189.171875},
        {"", &sansRegular, 8.0, 0.0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(textAdvance(*c.face, c.text, c.size), c.width) << c.text << " at " << c.size;
    }
    // the ascent and descent to the nearest 1/64, the height their sum
    EXPECT_EQ(fontAscent(sansRegular, 8.0), 7.25);
    EXPECT_EQ(fontDescent(sansRegular, 8.0), 1.703125);
    EXPECT_EQ(fontAscent(sansBold, 12.0), 10.859375);
    EXPECT_EQ(fontDescent(sansBold, 12.0), 2.546875);
    const ChartSize axis = fontTableMeasure()("PC I (62.4 %)", ChartFont::AxisTitle);
    EXPECT_EQ(axis.width, 59.890625);
    EXPECT_EQ(axis.height, 11.171875);
}

TEST(FontTable, ReadsMalformedUtf8AsReplacementCharacters)
{
    // a lone continuation byte, an overlong form, a cut sequence, a surrogate, a byte past
    // U+10FFFF's lead bytes: each byte that starts no character is one U+FFFD
    const std::string_view text = "a\x80\xC0\xAF\xE2\x88\xED\xA0\x80\xF5z";
    std::vector<char32_t> read;
    for (std::size_t pos = 0; pos < text.size();) {
        read.push_back(nextCodePoint(text, pos));
    }
    const char32_t r = 0xFFFD;
    EXPECT_EQ(read, (std::vector<char32_t>{'a', r, r, r, r, r, r, r, r, r, 'z'}));
    std::size_t pos = 0;
    EXPECT_EQ(nextCodePoint("\xF0\x9F\x98\x80", pos), U'\U0001F600');
    EXPECT_EQ(pos, 4u);
    // a character the face lacks takes the room another face gives it: Chinese a full em
    EXPECT_EQ(textAdvance(sansRegular, "\xE4\xB8\xAD\xE5\x9B\xBD", 8.0), 16.0);
}

TEST(SvgNumber, IsFixedWithAtMostThreeDecimals)
{
    const std::pair<double, std::string_view> cases[] = {
        {0.0, "0"},
        {-0.0, "0"},
        {-0.0004, "0"},
        {100.0, "100"},
        {504.0, "504"},
        {0.1, "0.1"},
        {31.171875, "31.172"},
        {-4.5, "-4.5"},
        {1.0e7, "10000000"},
        {0.0005, "0.001"},
    };
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(svgNumber(value), text) << value;
    }
}

TEST(SvgChart, PrincipalCoordinatesHoldEveryPointAndEscapedLabel)
{
    const ChartLayout layout = layoutChart(test::pcSample(), fontTableMeasure());
    const std::string svg = svgChart(layout);
    ASSERT_EQ(layout.labels.size(), escapedNames.size());
    for (std::size_t i = 0; i < escapedNames.size(); ++i) {
        EXPECT_EQ(count(svg, textElement(escapedNames[i])), 1u) << escapedNames[i];
        EXPECT_EQ(count(svg, circleAt(layout.points[i])), 1u) << escapedNames[i];
    }
    expectTitlesAndTicks(svg, layout, layout.xTicks, layout.yTicks);
    EXPECT_EQ(count(svg, textElement("Four &amp; &lt;more&gt;")), 1u);
    EXPECT_EQ(count(svg, "<title>Four &amp; &lt;more&gt;</title>"), 1u);
    EXPECT_EQ(count(svg, "<circle"), layout.points.size());
    // the crowd's labels moved away are joined to their points
    std::size_t leaders = 0;
    for (const ChartLabel& label : layout.labels) {
        leaders += label.leader ? 1 : 0;
    }
    EXPECT_EQ(count(svg, "stroke=\"#202020\" stroke-width=\"0.3\""), leaders);
    // the centroid's cross
    EXPECT_EQ(count(svg, "stroke=\"#b01c1c\" stroke-width=\"1.4\""), 2u);
    // the vertical axis title turned to read upwards
    EXPECT_EQ(count(svg, "rotate(-90)\" x=\"-"), 1u);
}

TEST(SvgChart, VelbrandTorvaneHoldsFilledAndOpenMarkersAndTheKey)
{
    const VtChartLayout layout = layoutVtChart(test::vtSample(), fontTableMeasure());
    const std::string svg = svgChart(layout);
    std::size_t above = 0;
    for (std::size_t i = 0; i < layout.points.size(); ++i) {
        EXPECT_EQ(count(svg, textElement(escapedNames[i])), 1u) << escapedNames[i];
        EXPECT_EQ(count(svg, circleAt(layout.points[i])), 1u) << escapedNames[i];
        above += layout.above[i] ? 1 : 0;
    }
    for (const VtLegendEntry& entry : layout.legend) {
        EXPECT_EQ(count(svg, textElement(entry.text)), 1u) << entry.text;
    }
    // the key's two markers, one of each kind
    EXPECT_EQ(count(svg, "fill=\"#1f4e79\""), above + 1);
    EXPECT_EQ(count(svg, "fill=\"#ffffff\" stroke=\"#1f4e79\""), layout.points.size() - above + 1);
    expectTitlesAndTicks(svg, layout, layout.xTicks, layout.yTicks);
}

TEST(SvgChart, SweepDrawsEachUnbrokenRunAsALineWithItsPoints)
{
    const SweepChartLayout layout = layoutSweepChart(test::sweepSample(), fontTableMeasure());
    const std::string svg = svgChart(layout);
    ASSERT_EQ(layout.series.size(), 2u);
    ASSERT_EQ(layout.series[0].segments.size(), 2u); // broken where Fst is missing
    EXPECT_EQ(count(svg, "<polyline"), 3u);
    EXPECT_EQ(count(svg, "stroke-dasharray=\"5.6,2.8\""), 2u); // unbiased Fst and its key
    EXPECT_EQ(count(svg, "<circle"), 9u);
    for (const SweepSeries& s : layout.series) {
        EXPECT_GE(count(svg, textElement(s.name)), 1u) << s.name;
        for (const auto& segment : s.segments) {
            for (const ChartPoint& p : segment) {
                EXPECT_EQ(count(svg, circleAt(p)), 1u);
            }
        }
    }
    expectTitlesAndTicks(svg, layout, layout.xTicks, layout.yTicks);
}

TEST(SvgChart, MantelScatterHoldsEveryPairTheLineAndTheLegend)
{
    const ScatterChartLayout layout = layoutScatterChart(test::scatterSample(), fontTableMeasure());
    const std::string svg = svgChart(layout);
    for (const ChartPoint& p : layout.points) {
        EXPECT_EQ(count(svg, circleAt(p)), 1u);
    }
    ASSERT_TRUE(layout.hasLine);
    EXPECT_EQ(count(svg,
                    "<line x1=\"" + svgNumber(layout.lineFrom.x) + "\" y1=\"" +
                        svgNumber(layout.lineFrom.y) + "\""),
              1u);
    EXPECT_EQ(count(svg, textElement("r = 0.912, p = 0.0042")), 1u);
    expectTitlesAndTicks(svg, layout, layout.xTicks, layout.yTicks);
}

TEST(SvgChart, TreeHoldsEveryTipSupportAndTheScaleBar)
{
    const TreeChartLayout layout = layoutTreeChart(test::treeSample(), fontTableMeasure());
    const std::string svg = svgChart(layout);
    for (const std::string& name : escapedNames) {
        EXPECT_EQ(count(svg, textElement(name)), 1u) << name;
    }
    ASSERT_FALSE(layout.supports.empty());
    for (const ChartLabel& support : layout.supports) {
        EXPECT_GE(count(svg, textElement(support.text)), 1u) << support.text;
    }
    EXPECT_EQ(count(svg, textElement(layout.barLabel.text)), 1u) << layout.barLabel.text;
    std::size_t drawn = 1; // the scale bar
    for (const TreeSegment& s : layout.branches) {
        drawn += s.from.x != s.to.x || s.from.y != s.to.y ? 1 : 0;
    }
    EXPECT_EQ(count(svg, "<line"), drawn);
    EXPECT_EQ(count(svg, "<title>Neighbor-Joining Tree</title>"), 1u);
}

TEST(SvgChart, TextThatXmlCannotHoldIsReplaced)
{
    ChartInput in = test::pcSample();
    in.names[0] = "bad\x01\xFFname";
    in.title.clear();
    const std::string svg = svgChart(layoutChart(in, fontTableMeasure()));
    EXPECT_EQ(count(svg, textElement("bad\uFFFD\uFFFDname")), 1u);
    EXPECT_EQ(count(svg, "<title>Principal coordinates</title>"), 1u); // no title line
}

} // namespace
} // namespace tavrik
