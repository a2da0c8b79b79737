// The chart files of tavrik-batch: what they show, when they are refused, and that they join
// the all-or-nothing writing of the other result files.
#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

#include "BatchHarness.h"

namespace {

using namespace tavrik::test;

class BatchChart : public BatchProgram
{
protected:
    static std::string example() { return std::string(TAVRIK_EXAMPLES) + "/highland.tvk"; }
};

// The share of the first eigenvalue as the report prints it, for the R matrix (occurrence 0)
// or the scaled R matrix (occurrence 1).
std::string firstShare(const std::string& report, int occurrence)
{
    const std::string lead = "The first eigenvalue accounts for ";
    std::size_t at = report.find(lead);
    for (int i = 0; i < occurrence && at != std::string::npos; ++i) {
        at = report.find(lead, at + 1);
    }
    if (at == std::string::npos) {
        return "(no share line)";
    }
    at += lead.size();
    return report.substr(at, report.find(' ', at) - at);
}

#ifdef TAVRIK_HAVE_CHART
std::uint32_t bigEndian(const std::string& bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value = value << 8 | static_cast<unsigned char>(bytes.at(at + i));
    }
    return value;
}

// Width and height in pixels of a PNG file's bytes; 0 x 0 when they are no PNG.
std::pair<std::uint32_t, std::uint32_t> pngPixels(const std::string& bytes)
{
    if (bytes.size() < 24 || bytes.substr(0, 8) != std::string("\x89PNG\r\n\x1a\n", 8)) {
        return {0, 0};
    }
    return {bigEndian(bytes, 16), bigEndian(bytes, 20)};
}
#endif

// The texts that an SVG file's bytes lack; all of them when they are no whole SVG file.
std::vector<std::string> missingFrom(const std::string& svg, std::vector<std::string> texts)
{
    std::erase_if(texts, [&svg](const std::string& text) {
        return svg.starts_with("<?xml") && svg.ends_with("</svg>\n") &&
               svg.find(text) != std::string::npos;
    });
    return texts;
}

TEST_F(BatchChart, SvgShowsEveryPopulationAndTheChosenMatrixsShares)
{
    const Outcome o = run({example(), "--scaled", "--report", "r.txt", "--chart", "c.svg"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err, ""); // Qt's start-up chatter stays out of the program's messages
    const std::string report = readFile(m_dir / "r.txt");
    const std::string svg = readFile(m_dir / "c.svg");
    EXPECT_TRUE(svg.starts_with("<?xml")) << svg.substr(0, 40);
    for (const char* name :
         {"Ostvarrin", "Kelmoth", "Harnavel", "Tullibrack", "Saundry Fell", "Mirrowdale"}) {
        EXPECT_NE(svg.find(std::string(">") + name + "</text>"), std::string::npos) << name;
    }
    EXPECT_NE(svg.find(">Principal Coordinates of R Matrix</text>"), std::string::npos);
    EXPECT_NE(svg.find(">PC I (" + firstShare(report, 0) + " %)</text>"), std::string::npos)
        << firstShare(report, 0);

    // The scaled matrix's chart carries the report's second share line and its own title.
    const Outcome scaled = run({example(),
                                "--scaled",
                                "--report",
                                "r.txt",
                                "--chart-matrix=scaled-r",
                                "--chart",
                                "c.svg"});
    ASSERT_EQ(scaled.status, 0) << scaled.err;
    const std::string scaledSvg = readFile(m_dir / "c.svg");
    EXPECT_NE(scaledSvg.find(">Principal Coordinates of Scaled R Matrix</text>"),
              std::string::npos);
    ASSERT_NE(firstShare(report, 1), firstShare(report, 0));
    EXPECT_NE(scaledSvg.find(">PC I (" + firstShare(report, 1) + " %)</text>"), std::string::npos)
        << firstShare(report, 1);
    EXPECT_EQ(filesIn(), (std::vector<std::string>{"c.svg", "r.txt"}));
}

TEST_F(BatchChart, RefusesWhatCannotBeDrawnBeforeWritingAnything)
{
    const std::string sweep = "--heritability-sweep 0.2:1:0.2 --sweep-output s.csv ";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"--chart c.pdf", "must end in .png or .svg"},
        {"--chart svg", "must end in .png or .svg"},
        {"--chart -", "must end in .png or .svg"},
        {"--chart c.svg --chart-matrix d2", "expected r or scaled-r"},
        {"--chart-matrix r", "--chart FILE is missing"},
        {"--chart c.svg --chart-matrix scaled-r", "only when --scaled is given"},
        {"--chart c.svg --pc-scores ./c.svg", "--pc-scores and --chart name the same file"},
        {"--vt-chart v.SVGZ", "--vt-chart \"v.SVGZ\": the file name must end in .png or .svg"},
        {"--vt-chart c.svg --chart c.svg", "--chart and --vt-chart name the same file"},
        {sweep + "--sweep-chart s.pdf", "--sweep-chart \"s.pdf\": the file name must"},
        {sweep + "--sweep-chart -", "must end in .png or .svg"},
        {"--sweep-chart s.svg", "--sweep-chart needs --heritability-sweep"},
        {sweep + "--sweep-chart c.svg --chart c.svg",
         "--chart and --sweep-chart name the same file"},
        {"--tree-chart t.svg", "--tree-chart draws the tree of --tree, and --tree FILE is missing"},
        {"--tree t.nwk --tree-root Aven", "--tree-chart FILE is missing"},
        {"--tree t.nwk --tree-chart t.pdf", "--tree-chart \"t.pdf\": the file name must"},
        {"--tree t.svg --tree-chart t.svg", "--tree and --tree-chart name the same file"},
        // a population of the file that the run leaves out cannot hold the root
        {"--population Aven --population Brisk --tree t.nwk --tree-chart t.svg "
         "--tree-root Corran",
         "--tree-root \"Corran\": not one of the chosen populations (\"Aven\", \"Brisk\") "
         "nor midpoint"},
    };
    for (const auto& [options, complaint] : cases) {
        expectRefused("@cli_three_pops.tvk --report r.txt " + options, 2, complaint);
    }
    // Equal census sizes: the run analyses no scaled R matrix, so there is nothing to draw.
    expectRefused(
        "@cli_equal_sizes.tvk --scaled --report r.txt --chart-matrix scaled-r --chart c.svg",
        2,
        "same census size");
}

TEST_F(BatchChart, ChartsAreWrittenWithTheOtherResultFilesOrNotAtAll)
{
    // A chart cannot be written: the other result file stays as it was.
    const std::string cases[] = {
        "--report r.txt --vt-results o.txt --chart no-such-folder/c.svg",
        "--report o.txt --vt-chart no-such-folder/v.svg",
        "--report r.txt --heritability-sweep 0.2:1:0.2 --sweep-output o.txt "
        "--sweep-chart no-such-folder/s.svg",
        "--report r.txt --tree o.txt --tree-chart no-such-folder/t.svg",
    };
    writeFile(m_dir / "o.txt", "the previous results\r\n");
    for (const std::string& options : cases) {
        SCOPED_TRACE(options);
        const Outcome fails = run(args("@cli_three_pops.tvk " + options));
        EXPECT_EQ(fails.status, 1);
        EXPECT_NE(fails.err.find("no-such-folder/"), std::string::npos) << fails.err;
        EXPECT_EQ(readFile(m_dir / "o.txt"), "the previous results\r\n");
        EXPECT_EQ(filesIn(), std::vector<std::string>{"o.txt"});
    }

    // Another file cannot be written: the chart already drawn is removed, the old one kept.
    writeFile(m_dir / "c.svg", "the previous chart");
    const Outcome otherFails = run(args("@cli_three_pops.tvk --report r.txt --chart c.svg "
                                        "--matrix d2:ntsys:no-such-folder/d.nts"));
    EXPECT_EQ(otherFails.status, 1);
    EXPECT_EQ(readFile(m_dir / "c.svg"), "the previous chart");
    EXPECT_EQ(filesIn(), (std::vector<std::string>{"c.svg", "o.txt"}));
}

TEST_F(BatchChart, VtChartShowsEveryPopulationWithTheKey)
{
    const Outcome o = run({example(), "--report", "r.txt", "--vt-chart", "v.svg"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err, "");
    const std::string svg = readFile(m_dir / "v.svg");
    EXPECT_EQ(missingFrom(svg,
                          {">Ostvarrin</text>",
                           ">Mirrowdale</text>",
                           ">Velbrand-Torvane Analysis</text>",
                           ">r(ii), distance from the centroid</text>",
                           "(more gene flow from outside)</text>",
                           "(less gene flow from outside)</text>"}),
              std::vector<std::string>{});
    EXPECT_EQ(filesIn(), (std::vector<std::string>{"r.txt", "v.svg"}));
}

TEST_F(BatchChart, SweepChartShowsBothFstLinesAndIsSevenByFiveInches)
{
    const Outcome o = run({example(),
                           "--report",
                           "r.txt",
                           "--heritability-sweep",
                           "0.2:1:0.05",
                           "--sweep-output",
                           "s.csv",
                           "--sweep-chart",
                           "s.svg"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err, "");
    const std::string svg = readFile(m_dir / "s.svg");
    EXPECT_EQ(
        missingFrom(
            svg,
            {">Fst against Heritability</text>", ">Heritability</text>", ">Unbiased Fst</text>"}),
        std::vector<std::string>{});
    EXPECT_NE(svg.find("<polyline"), std::string::npos) << "the lines are drawn";
    EXPECT_NE(svg.find("viewBox=\"0 0 504 360\""), std::string::npos) << svg.substr(0, 400);

#ifdef TAVRIK_HAVE_CHART
    const Outcome png = run({example(),
                             "--report",
                             "r.txt",
                             "--heritability-sweep",
                             "0.5:0.5:0.1",
                             "--sweep-output",
                             "s.csv",
                             "--sweep-chart",
                             "Sweep.PNG"});
    ASSERT_EQ(png.status, 0) << png.err;
    const std::string bytes = readFile(m_dir / "Sweep.PNG");
    EXPECT_EQ(pngPixels(bytes), std::make_pair(2100u, 1500u));
    EXPECT_EQ(filesIn(), (std::vector<std::string>{"Sweep.PNG", "r.txt", "s.csv", "s.svg"}));
#endif
}

TEST_F(BatchChart, TreeChartShowsEveryPopulationTheSupportAndTheChosenRoot)
{
    const auto treeRun = [this](const std::string& chart, const std::string& root) {
        return run({example(),
                    "--report",
                    "r.txt",
                    "--bootstrap",
                    "20",
                    "--tree",
                    "t.nwk",
                    "--tree-chart",
                    chart,
                    "--tree-root",
                    root});
    };
    const Outcome o = treeRun("t.svg", "Mirrowdale");
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err, "");
    const std::string svg = readFile(m_dir / "t.svg");
    EXPECT_EQ(missingFrom(svg,
                          {">Ostvarrin</text>",
                           ">Kelmoth</text>",
                           ">Harnavel</text>",
                           ">Tullibrack</text>",
                           ">Saundry Fell</text>",
                           ">Mirrowdale</text>",
                           ">Neighbor-Joining Tree</text>",
                           " D-square</text>"}),
              std::vector<std::string>{});
    // The Newick file's support values are the ones the chart prints at the nodes.
    const std::string newick = readFile(m_dir / "t.nwk");
    const std::size_t close = newick.find(')');
    ASSERT_NE(close, std::string::npos) << newick;
    const std::string support = newick.substr(close + 1, newick.find(':', close) - close - 1);
    ASSERT_FALSE(support.empty()) << newick;
    EXPECT_NE(svg.find(">" + support + "</text>"), std::string::npos) << support;

    // The chosen root is not the midpoint: the drawings differ.
    ASSERT_EQ(treeRun("m.svg", "midpoint").status, 0);
    EXPECT_NE(readFile(m_dir / "m.svg"), svg);

#ifdef TAVRIK_HAVE_CHART
    // The PNG is the 7 x 7 inch chart at 300 dpi.
    const Outcome png =
        run({example(), "--report", "r.txt", "--tree", "t.nwk", "--tree-chart", "Tree.PNG"});
    ASSERT_EQ(png.status, 0) << png.err;
    const std::string bytes = readFile(m_dir / "Tree.PNG");
    EXPECT_EQ(pngPixels(bytes), std::make_pair(2100u, 2100u));
    EXPECT_EQ(filesIn(),
              (std::vector<std::string>{"Tree.PNG", "m.svg", "r.txt", "t.nwk", "t.svg"}));
#endif
}

#ifndef TAVRIK_HAVE_CHART

// Built without Qt, the program writes its charts through the core's SVG writer, and refuses
// a PNG before anything is read.
TEST_F(BatchChart, PngIsAUsageErrorWithoutQt)
{
    const std::string sweep = "--heritability-sweep 0.2:1:0.2 --sweep-output s.csv ";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"--chart c.png",
         "--chart \"c.png\": this tavrik-batch was built without Qt and writes "
         "charts as SVG only; give a file name that ends in .svg"},
        {"--chart c.svg --vt-chart v.PNG", "--vt-chart \"v.PNG\": this tavrik-batch was built"},
        {sweep + "--sweep-chart s.png", "--sweep-chart \"s.png\": this tavrik-batch was built"},
        {"--tree t.nwk --tree-chart t.png", "--tree-chart \"t.png\": this tavrik-batch was"},
    };
    for (const auto& [options, complaint] : cases) {
        expectRefused("@cli_three_pops.tvk --report r.txt " + options, 2, complaint);
    }
}

#endif

} // namespace
