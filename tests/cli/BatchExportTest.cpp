// The result files of tavrik-batch: what each holds, checked against the independent model's
// files and against the rules of the files themselves, and when they are refused.
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "BatchHarness.h"

namespace {

using namespace tavrik::test;

class BatchExport : public BatchProgram
{
};

TEST_F(BatchExport, SaveOutputIsTheScreenTextALineEndAndTheListingUnlessAlreadyShown)
{
    // Without --show-matrices the listing follows the report after one empty line.
    const Outcome plain =
        run(args("@cli_three_pops.tvk --report r.txt --listing l.txt --save-output s.txt"));
    ASSERT_EQ(plain.status, 0) << plain.err;
    const std::string listing = readFile(m_dir / "l.txt");
    EXPECT_EQ(readFile(m_dir / "s.txt"), readFile(m_dir / "r.txt") + "\r\n" + listing);

    // Both fit on screen: the listing is already in the report, and is not repeated.
    const Outcome shown =
        run(args("@cli_three_pops.tvk --show-matrices --report r.txt --save-output s.txt"));
    ASSERT_EQ(shown.status, 0) << shown.err;
    const std::string shownReport = readFile(m_dir / "r.txt");
    EXPECT_TRUE(shownReport.ends_with(listing));
    EXPECT_EQ(readFile(m_dir / "s.txt"), shownReport + "\r\n");

    // Too large for the screen: the run warns and leaves the listing out of the report, so the
    // saved output carries it after all.
    const Outcome large = run(args("@golden/too_large.tvk --show-matrices --report r.txt --listing "
                                   "l.txt --save-output s.txt"));
    ASSERT_EQ(large.status, 0) << large.err;
    EXPECT_NE(large.err.find("too large"), std::string::npos) << large.err;
    const std::string largeListing = readFile(m_dir / "l.txt");
    EXPECT_EQ(readFile(m_dir / "s.txt"), readFile(m_dir / "r.txt") + "\r\n" + largeListing);
}

// The golden quoted_names case (settings in its .case file) through the program's options:
// the report, the listing and every result file against the independent model's text, so
// that each option reaches the right matrix and layout and names with separators stay in
// their columns.
TEST_F(BatchExport, EveryResultFileMatchesTheIndependentModel)
{
    const std::map<std::string, std::string> optionOf{{"R", "--matrix=r:"},
                                                      {"DSquare", "--matrix=d2:"},
                                                      {"ScaledR", "--matrix=scaled-r:"},
                                                      {"ScaledDSquare", "--matrix=scaled-d2:"}};
    const std::string golden = (dataDir / "golden" / "quoted_names").string();
    std::vector<std::string> options =
        args("@golden/quoted_names.tvk --heritability 0.8 --scaled --report r.txt --listing l.txt "
             "--pc-scores pcScores.csv --scaled-pc-scores scaledPcScores.csv --vt-results vt.csv");
    std::map<std::string, std::string> expected; // file name -> text
    const std::string exports = readFile(golden + ".exports.txt");
    for (std::size_t at = 0; at < exports.size();) {
        const std::size_t eol = exports.find('\n', at);
        const std::string label = exports.substr(at + 4, eol - at - 4); // after "### "
        const std::size_t next = std::min(exports.find("\n### ", eol), exports.size() - 1) + 1;
        expected[label] = exports.substr(eol + 1, next - eol - 1);
        at = next;
        const std::size_t dot = label.find('.');
        if (optionOf.contains(label.substr(0, dot))) {
            options.push_back(optionOf.at(label.substr(0, dot)) + label.substr(dot + 1) + ":" +
                              label);
        }
    }
    ASSERT_EQ(expected.size(), 23u);
    const Outcome o = run(options, "1765000000");
    ASSERT_EQ(o.status, 0) << o.err;

    std::string report = readFile(golden + ".report.txt");
    const std::string bareName = "Data file = quoted_names.tvk\r\n";
    ASSERT_NE(report.find(bareName), std::string::npos);
    report.replace(report.find(bareName),
                   bareName.size(),
                   "Data file = " + shownPath("golden/quoted_names.tvk") + "\r\n");
    EXPECT_EQ(readFile(m_dir / "r.txt"), report);
    EXPECT_EQ(readFile(m_dir / "l.txt"), readFile(golden + ".matrices.txt"));
    for (const auto& [file, text] : expected) {
        EXPECT_EQ(readFile(m_dir / file), text) << file;
    }
}

// The tip names of a Newick tree: the text before each ':' back to '(', ',' or a line end.
std::vector<std::string> tipNames(const std::string& tree)
{
    std::vector<std::string> names;
    for (std::size_t colon = tree.find(':'); colon != std::string::npos;
         colon = tree.find(':', colon + 1)) {
        const std::size_t start = tree.find_last_of("(,)\n", colon - 1);
        if (start != std::string::npos && tree[start] != ')') {
            names.push_back(tree.substr(start + 1, colon - start - 1));
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(BatchExport, PhylipFilesAreReadByNeighborWithTheirTipNamesInTheMap)
{
    struct Case
    {
        std::string data;
        std::vector<std::string> tips; // sorted
        std::string map;               // the name map file, when the names do not fit
        std::string note;              // on standard error
    };
    const std::string examples = std::string(TAVRIK_EXAMPLES) + "/";
    const std::vector<Case> cases{
        {examples + "highland.tvk",
         {"Harnavel3", "Kelmoth2", "Mirrowdal6", "Ostvarrin1", "Saundry_F5", "Tullibrac4"},
         "Code,Name\r\nOstvarrin1,Ostvarrin\r\nKelmoth2,Kelmoth\r\nHarnavel3,Harnavel\r\n"
         "Tullibrac4,Tullibrack\r\nSaundry_F5,Saundry Fell\r\nMirrowdal6,Mirrowdale\r\n",
         "holds 10-byte codes, and infile.names.csv maps them to the names"},
        {examples + "islands.tvk",
         {"Faraby", "Holm_Orran", "Lunnevoe", "Skarra", "Vellisay"},
         "",
         ""},
        {data("golden/quoted_names.tvk"),
         {"Blue__male", "O_Hara", "Plain", "Red_female", "Wide_gap"},
         "",
         "Population \"Blue, male\" holds characters that tree programs reserve; infile names "
         "it Blue__male."},
    };
    const auto neighbor = std::string(TAVRIK_NEIGHBOR);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.data);
        fs::remove(m_dir / "infile");
        fs::remove(m_dir / "infile.names.csv");
        const Outcome o = run({c.data, "--report", "r.txt", "--matrix", "d2:phylip:infile"});
        ASSERT_EQ(o.status, 0) << o.err;
        EXPECT_EQ(fs::exists(m_dir / "infile.names.csv"), !c.map.empty());
        if (!c.map.empty()) {
            EXPECT_EQ(readFile(m_dir / "infile.names.csv"), c.map);
        }
        if (c.note.empty()) {
            EXPECT_EQ(o.err, "");
        } else {
            EXPECT_NE(o.err.find(c.note), std::string::npos) << o.err;
        }
        if (neighbor.empty()) {
            continue;
        }
        // neighbor reads "infile" in its folder, waits for Y to accept its default settings,
        // and asks before it replaces an outfile or outtree
        fs::remove(m_dir / "outfile");
        fs::remove(m_dir / "outtree");
        const std::string command =
            "cd '" + m_dir.string() + "' && printf 'Y\\n' | " + neighbor + " >log 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << readFile(m_dir / "log");
        EXPECT_EQ(tipNames(readFile(m_dir / "outtree")), c.tips);
    }
    if (neighbor.empty()) {
        GTEST_SKIP() << "phylip's neighbor is not installed: the files were checked, not read";
    }
}

TEST_F(BatchExport, ScaledResultsNeedTheScaledAnalysis)
{
    // Without --scaled nothing scaled exists: refused before anything runs or is written.
    for (const char* option :
         {"--matrix=scaled-r:ntsys:x", "--matrix=scaled-d2:list-space:x", "--scaled-pc-scores=x"}) {
        expectRefused(std::string("@cli_three_pops.tvk --report r.txt ") + option, 2, "--scaled");
    }

    // With --scaled but equal census sizes the run scales nothing: no scaled matrix...
    expectRefused("@cli_equal_sizes.tvk --scaled --report r.txt --matrix r:ntsys:r.nts "
                  "--matrix scaled-d2:ntsys:x.nts",
                  2,
                  "scaled-d2:ntsys:x.nts: every population of the data file has the same census "
                  "size");

    // ...yet the scaled scores may be saved, as on the desktop, and are all zero.
    const Outcome scores =
        run(args("@cli_equal_sizes.tvk --scaled --report r.txt --scaled-pc-scores spc.csv"));
    ASSERT_EQ(scores.status, 0) << scores.err;
    EXPECT_EQ(readFile(m_dir / "spc.csv"),
              "Population,PC1,PC2\r\nAven, 0.0000, 0.0000\r\nBrisk, 0.0000, 0.0000\r\n"
              "Corran, 0.0000, 0.0000\r\n");
}

TEST_F(BatchExport, RefusesMalformedOrCollidingResultOptions)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"--matrix r:ntsys", "WHICH:LAYOUT:FILE"},
        {"--matrix R:ntsys:x", "unknown matrix \"R\""},
        {"--matrix d2:nts:x", "unknown layout \"nts\""},
        {"--matrix d2::x", "unknown layout \"\""},
        {"--matrix d2:ntsys:", "names no file"},
        {"--matrix scaled-r:phylip:x", "the phylip layout holds distances only"},
        {"--matrix", "needs a value"},
        {"--save-output=", "--save-output needs a file name"},
        {"--pc-scores a.csv --vt-results ./a.csv", "--pc-scores and --vt-results name the same"},
        {"--matrix r:ntsys:m --matrix d2:ntsys:m", "name the same file"},
        {"--report x --save-output x", "name the same file"},
        {"--matrix r:list-comma:" + data("cli_three_pops.tvk"), "would replace the data file"},
        {"--population-column Population", "needs --import-csv"},
    };
    for (const auto& [options, complaint] : cases) {
        expectRefused("@cli_three_pops.tvk " + options, 2, complaint);
    }
}

} // namespace
