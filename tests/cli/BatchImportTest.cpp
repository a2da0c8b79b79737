// tavrik-batch --import-csv: a CSV table becomes a data file that a run reads like one typed
// by hand, missing values included; every column left out is named and the missing values
// counted; bad rows, bad names and unreadable files are refused with their exit status.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "BatchHarness.h"

namespace {

using namespace tavrik::test;

class BatchImport : public BatchProgram
{
};

std::string withoutDataFileLine(const std::string& report)
{
    const std::size_t at = report.find("Data file = ");
    if (at == std::string::npos) {
        return report;
    }
    return report.substr(0, at) + report.substr(report.find('\n', at) + 1);
}

TEST_F(BatchImport, ImportedTableGivesTheReportOfTheFileTypedByHand)
{
    // The table has empty cells and the markers NA, n/a, " NA " and "." in the chosen
    // variables, and a row whose population is N/A; the file typed by hand has NA or "."
    // where the table misses a value.
    // Variable names with blanks do not fit args(), so they come last, one by one.
    std::vector<std::string> import =
        args("--import-csv @csv_measurements.csv --population-column Population --variable Stature "
             "--census-sizes @csv_census.csv --title Measurements --leave-out-bad-rows "
             "--output measurements.tvk");
    import.insert(import.end(), {"--variable", "Head breadth", "--variable=Head length"});
    const Outcome imported = run(import);
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(imported.out, "");
    // A note naming the row left out, then the missing values by variable, in the order given.
    EXPECT_EQ(lines(imported.err),
              (std::vector<std::string>{
                  "tavrik-batch: note: 1 row with a value that is not a number or no population "
                  "left out of csv_measurements.csv: line 27",
                  "tavrik-batch: note: csv_measurements.csv: 5 values are missing and are "
                  "written as NA:",
                  "tavrik-batch:   column 3 (Stature): 2",
                  "tavrik-batch:   column 6 (Head breadth): 2",
                  "tavrik-batch:   column 5 (Head length): 1"}));
    EXPECT_EQ(filesIn(), std::vector<std::string>{"measurements.tvk"});

    const std::string analysis = " --heritability 0.55 --scaled --show-matrices --vt-results -";
    const Outcome a = run(args("measurements.tvk" + analysis));
    const Outcome b = run(args("@csv_measurements_hand.tvk" + analysis));
    ASSERT_EQ(a.status, 0) << a.err;
    ASSERT_EQ(b.status, 0) << b.err;
    EXPECT_NE(a.out.find("Data file = " + (m_dir / "measurements.tvk").string() + "\r\n"),
              std::string::npos);
    EXPECT_NE(a.out.find("Data set: Measurements\r\n"), std::string::npos);
    // the run left out the records with a missing value, as it does for the file by hand
    EXPECT_NE(a.out.find("Records left out for missing values: 5\r\n"), std::string::npos);
    EXPECT_EQ(withoutDataFileLine(a.out), withoutDataFileLine(b.out));
}

TEST_F(BatchImport, DefaultsTakeEveryNumericColumnTheFileNameAndEqualCensusSizes)
{
    const Outcome o = run(args("--import-csv @csv_measurements.csv --population-column=Population "
                               "--leave-out-bad-rows --output -"));
    ASSERT_EQ(o.status, 0) << o.err;
    // the text column is named with its first cell; then the row left out
    EXPECT_EQ(lines(o.err).at(0),
              "tavrik-batch: note: left out column 4 (Note): line 5 holds \"re-measured\", which "
              "is not a number");
    const std::vector<std::string> head = lines(o.out);
    ASSERT_EQ(head.size(), 6u + 25u); // 26 rows less the one with no population
    EXPECT_EQ(head[0], "\"csv_measurements\"\r");
    EXPECT_EQ(head[1], "3, 4\r");
    // Populations in order of first appearance, codes 1..3, every census size the same; a
    // name with a double quote, which a quoted field cannot hold, is written bare.
    EXPECT_EQ(head[2], "\"Coast, north\", 1, 100\r");
    EXPECT_EQ(head[3], "Brisk \"old\" town, 2, 100\r");
    EXPECT_EQ(head[4], "\"Aven\", 3, 100\r");
    // ID is numeric, so it is a variable; the text column Note is not.
    EXPECT_EQ(head[5], "\"ID\", \"Stature\", \"Head length\", \"Head breadth\"\r");
}

TEST_F(BatchImport, BadRowsStopTheImportUnlessTheyMayBeLeftOut)
{
    writeFile(m_dir / "gaps.csv",
              "Valley,Length\r\nAven,170\r\n"
              "Aven,\r\n" // line 3: missing, written NA
              "Brisk,172\r\n"
              ",171\r\n"          // line 5: no population
              "Brisk,1.7e2.5\r\n" // line 6: not a number
              "Aven,168\r\nBrisk,169\r\n");
    writeFile(m_dir / "gaps.tvk", "the previous data file\r\n");
    const std::string import = "--import-csv gaps.csv --population-column Valley --output gaps.tvk";

    // Length holds a text, so it is no numeric column: it has to be named.
    const Outcome unnamed = run(args(import));
    EXPECT_EQ(unnamed.status, 2);
    EXPECT_NE(unnamed.err.find("--variable"), std::string::npos) << unnamed.err;

    const Outcome stopped = run(args(import + " --variable Length"));
    EXPECT_EQ(stopped.status, 3);
    EXPECT_NE(stopped.err.find("gaps.csv: 2 rows"), std::string::npos) << stopped.err;
    EXPECT_NE(stopped.err.find("lines 5, 6"), std::string::npos) << stopped.err;
    EXPECT_NE(stopped.err.find("--leave-out-bad-rows"), std::string::npos) << stopped.err;
    EXPECT_EQ(readFile(m_dir / "gaps.tvk"), "the previous data file\r\n");
    EXPECT_EQ(filesIn(), (std::vector<std::string>{"gaps.csv", "gaps.tvk"}));

    const Outcome left = run(args(import + " --variable Length --leave-out-bad-rows"));
    ASSERT_EQ(left.status, 0) << left.err;
    EXPECT_EQ(lines(left.err).size(), 3u) << left.err;
    EXPECT_TRUE(left.err.starts_with("tavrik-batch: note: 2 rows")) << left.err;
    EXPECT_NE(left.err.find("lines 5, 6\n"), std::string::npos) << left.err;
    EXPECT_EQ(readFile(m_dir / "gaps.tvk"),
              "\"gaps\"\r\n2, 1\r\n\"Aven\", 1, 100\r\n\"Brisk\", 2, 100\r\n\"Length\"\r\n"
              "1, 170\r\n1, NA\r\n2, 172\r\n1, 168\r\n2, 169\r\n");
}

TEST_F(BatchImport, EveryColumnLeftOutIsNamedWithItsFirstBadCell)
{
    // Span misses four values and is kept; Remark misses every value and is left out.
    const char* const remarks[] = {"", "NA", ".", "n/a"};
    std::string csv = "Site,Stature,Span,Stature,Remark\n";
    for (int i = 1; i <= 200; ++i) {
        const std::string stature = i == 57 ? "7O.5" : "170." + std::to_string(i % 10);
        const std::string span = i % 50 == 3 ? "NA" : std::to_string(160 + i % 7);
        csv += (i % 2 ? "North," : "South,") + stature + "," + span + ",1" + std::to_string(i) +
               "," + remarks[i % 4] + "\n";
    }
    writeFile(m_dir / "typo.csv", csv);
    const Outcome o = run(args("--import-csv typo.csv --population-column Site --output typo.tvk"));
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(lines(o.err),
              (std::vector<std::string>{
                  "tavrik-batch: note: typo.csv, column 4 has the name of column 2, \"Stature\"; "
                  "it is imported as \"Stature_2\"",
                  "tavrik-batch: note: left out column 2 (Stature): line 58 holds \"7O.5\", which "
                  "is not a number",
                  "tavrik-batch: note: left out column 5 (Remark): it holds no value",
                  "tavrik-batch: note: typo.csv: 4 values are missing and are written as NA:",
                  "tavrik-batch:   column 3 (Span): 4"}));
    const std::vector<std::string> head = lines(readFile(m_dir / "typo.tvk"));
    EXPECT_EQ(head.at(4), "\"Span\", \"Stature_2\"\r");
    EXPECT_EQ(head.at(7), "1, NA, 13\r"); // line 4 of the table
}

TEST_F(BatchImport, RefusesWrongNamesAndMissingOrMixedOptionsWithStatusTwo)
{
    const std::string csv = "--import-csv @csv_measurements.csv ";
    const std::string ready = csv + "--population-column Population --output o.tvk ";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {csv + "--population-column Pop --output o.tvk", "no column is called \"Pop\""},
        {ready + "--variable stature", "no column is called \"stature\""},
        {ready + "--variable Population", "holds the populations"},
        {csv + "--output o.tvk", "needs --population-column"},
        {csv + "--population-column Population", "needs --output"},
        {ready + "x.tvk", "takes no data file"},
        {ready + "--heritability 0.5", "--heritability"},
        {ready + "--matrix r:ntsys:r.nts", "--matrix"},
        {csv + "--population-column Population --output @csv_measurements.csv",
         "would replace an input file"},
    };
    for (const auto& [line, complaint] : cases) {
        expectRefused(line, 2, complaint);
    }
}

TEST_F(BatchImport, UnreadableTableOrCensusFileGivesStatusThreeWithoutWaiting)
{
    writeFile(m_dir / "ragged.csv", "Valley,Length\nAven,170\nBrisk,172,9\n");
    writeFile(m_dir / "sizes.csv", "Population,Size\nAven,150\n\"Coast, north\",none\n");
    const std::string csv = "--import-csv @csv_measurements.csv --population-column Population ";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"--import-csv no-such.csv --population-column V --output o.tvk", "no-such.csv"},
        {"--import-csv ragged.csv --population-column Valley --output o.tvk", "line 3"},
        {csv + "--census-sizes no-such-sizes.csv --output o.tvk", "no-such-sizes.csv"},
        {csv + "--census-sizes sizes.csv --output o.tvk", "sizes.csv, line 3"},
    };
    for (const auto& [line, complaint] : cases) {
        expectRefused(line, 3, complaint, {"ragged.csv", "sizes.csv"});
    }
}

} // namespace
