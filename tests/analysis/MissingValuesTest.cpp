// Records with missing measurements (NA or . in a value field): complete cases over the chosen
// variables, against the same file with the incomplete records removed by hand, the report
// lines that say what was left out, and the runs that cannot proceed.
#include "analysis/AnalysisRun.h"
#include "analysis/Bootstrap.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "RunTestSupport.h"

namespace tavrik {
namespace {

using test::dataFile;
using test::fixedClock;
using test::run;

RunInput input(const std::string& file, int pops, std::vector<std::int16_t> vars)
{
    RunInput in;
    in.dataSet.dataPath = dataFile(file);
    in.dataSet.popCount = static_cast<std::int16_t>(pops);
    in.dataSet.varCount = static_cast<std::int16_t>(vars.size());
    in.selection.popSelected.assign(static_cast<std::size_t>(pops), true);
    in.selection.varSelected.assign(vars.begin(), vars.end());
    return in;
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to)
{
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

constexpr const char* leftOutLines = "Records left out for missing values: 4\r\n"
                                     "North           2\r\n"
                                     "South           1\r\n"
                                     "East            1\r\n";

TEST(MissingValues, MarkedFileEqualsTheFileWithIncompleteRecordsRemovedByHand)
{
    auto marked = run(input("missing_markers.tvk", 3, {1, 1, 1}));
    auto removed = run(input("missing_removed.tvk", 3, {1, 1, 1}));
    ASSERT_TRUE(marked.ok()) << marked.error().message;
    ASSERT_TRUE(removed.ok()) << removed.error().message;
    EXPECT_EQ(marked->results.rMatrix, removed->results.rMatrix);
    EXPECT_EQ(marked->results.dSquare, removed->results.dSquare);
    EXPECT_EQ(marked->results.pcScores, removed->results.pcScores);
    EXPECT_EQ(marked->basis.fstSe, removed->basis.fstSe);
    EXPECT_EQ(marked->basis.passes.sampleSizes, (std::vector<double>{3.0, 4.0, 4.0}));
    EXPECT_EQ(marked->basis.passes.leftOut, (std::vector<double>{2.0, 1.0, 1.0}));
    EXPECT_EQ(marked->matrixFile, removed->matrixFile);

    // The reports differ in the data file's name and in the lines after "Total" only.
    const std::string total = "Total           11\r\n";
    ASSERT_NE(removed->report.find(total), std::string::npos);
    EXPECT_EQ(removed->report.find("left out"), std::string::npos);
    std::string expected =
        replaceAll(removed->report, "missing_removed.tvk", "missing_markers.tvk");
    expected = replaceAll(expected, total, total + leftOutLines);
    EXPECT_EQ(marked->report, expected);
}

TEST(MissingValues, FewerChosenVariablesKeepMoreRecords)
{
    // Width alone: only North's second and South's fourth record miss it.
    auto width = run(input("missing_markers.tvk", 3, {0, 1, 0}));
    ASSERT_TRUE(width.ok()) << width.error().message;
    EXPECT_EQ(width->basis.passes.sampleSizes, (std::vector<double>{4.0, 4.0, 5.0}));
    EXPECT_NE(width->report.find("Total           13\r\n"
                                 "Records left out for missing values: 2\r\n"
                                 "North           1\r\n"
                                 "South           1\r\n\r\n"),
              std::string::npos);

    // Length and Height: North's fifth and East's second record.
    auto lengthHeight = run(input("missing_markers.tvk", 3, {1, 0, 1}));
    ASSERT_TRUE(lengthHeight.ok()) << lengthHeight.error().message;
    EXPECT_EQ(lengthHeight->basis.passes.sampleSizes, (std::vector<double>{4.0, 5.0, 4.0}));
    EXPECT_EQ(lengthHeight->basis.passes.leftOut, (std::vector<double>{1.0, 0.0, 1.0}));
}

TEST(MissingValues, BootstrapResamplesTheCompleteRecordsOnly)
{
    const RunInput in = input("missing_markers.tvk", 3, {1, 1, 1});
    auto out = run(in);
    ASSERT_TRUE(out.ok()) << out.error().message;
    auto records = loadChosenRecords(in.dataSet, out->basis, bootstrapMemoryBudget);
    ASSERT_TRUE(records.ok()) << records.error().message;
    ASSERT_EQ(records->populations.size(), 3u);
    EXPECT_EQ(records->populations[0].rows(), 3u);
    EXPECT_EQ(records->populations[0](1, 0), 9.7); // North's third record, its second complete
}

TEST(MissingValues, PopulationLeftWithOneCompleteRecordStopsTheRun)
{
    auto out = run(input("missing_too_few.tvk", 3, {1, 1}));
    ASSERT_FALSE(out.ok());
    EXPECT_EQ(out.error().kind, ErrorKind::Analysis);
    EXPECT_EQ(out.error().message,
              "Population \"South\" has only one complete record: 2 of its records miss a value "
              "of a chosen variable. Every chosen population needs at least two records with all "
              "chosen variables; choose fewer variables or leave the population out.");
    // Without the variable that South misses, the run goes through.
    EXPECT_TRUE(run(input("missing_too_few.tvk", 3, {1, 0})).ok());
}

TEST(MissingValues, CodeFieldAndQuotedMarkersAreNotMissingValues)
{
    auto code = run(input("missing_code.tvk", 2, {1}));
    ASSERT_FALSE(code.ok());
    EXPECT_EQ(code.error().kind, ErrorKind::DataFile);
    EXPECT_NE(code.error().message.find("population code of record 2"), std::string::npos)
        << code.error().message;
    EXPECT_NE(code.error().message.find("cannot be missing"), std::string::npos);

    auto quoted = run(input("missing_quoted.tvk", 2, {1}));
    ASSERT_FALSE(quoted.ok());
    EXPECT_EQ(quoted.error().kind, ErrorKind::DataFile);
    EXPECT_NE(quoted.error().message.find("record 2"), std::string::npos) << quoted.error().message;
}

} // namespace
} // namespace tavrik
