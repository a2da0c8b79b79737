// Runs the built tavrik-batch as a user would and checks exit status, standard output,
// standard error and the files written or withheld.
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "BatchHarness.h"

namespace {

using namespace tavrik::test;

// Unknown options and flags given a value: see NamesTheFirstFaultOfTheLineInItsOwnWords.
TEST_F(BatchProgram, RefusesBadOptionsWithStatusTwoAndWritesNothing)
{
    const std::vector<std::vector<std::string>> cases = {
        {"--heritability", "0", data("cli_three_pops.tvk")},
        {"--heritability", "1.5", data("cli_three_pops.tvk")},
        {"--heritability", "-0.5", data("cli_three_pops.tvk")},
        {"--heritability", "abc", data("cli_three_pops.tvk")},
        {"--heritability", "0.5abc", data("cli_three_pops.tvk")},
        {"--heritability=", data("cli_three_pops.tvk")},
        {"--heritability", "nan", data("cli_three_pops.tvk")},
        {"--heritability", "1e300", data("cli_three_pops.tvk")},
        {"--heritability", "1e-45", data("cli_three_pops.tvk")},
        {data("cli_three_pops.tvk"), "--report"},
        {"--report", "out.txt"},
        {data("cli_three_pops.tvk"), data("cli_one_population.tvk")},
        {data("cli_three_pops.tvk"), "--report=x.txt", "--listing=./x.txt"},
        {"--memory-budget", "12X", data("cli_three_pops.tvk")},
        {"--memory-budget", "1.5G", data("cli_three_pops.tvk")},
        {"--memory-budget", "-1", data("cli_three_pops.tvk")},
        {"--memory-budget=", data("cli_three_pops.tvk")},
        {"--memory-budget", "17179869184G", data("cli_three_pops.tvk")},
        {"--threads", "0", data("cli_three_pops.tvk")},
        {"--threads", "2x", data("cli_three_pops.tvk")},
        {"--threads", "1025", data("cli_three_pops.tvk")},
    };
    for (const auto& args : cases) {
        std::string joined;
        for (const auto& a : args) {
            joined += a + " ";
        }
        SCOPED_TRACE(joined);
        const Outcome o = run(args);
        EXPECT_EQ(o.status, 2);
        EXPECT_EQ(o.out, "");
        EXPECT_TRUE(o.err.starts_with("tavrik-batch: ")) << o.err;
        EXPECT_EQ(filesIn(), std::vector<std::string>{});
    }
}

TEST_F(BatchProgram, HelpAndVersionNeedNoDataFile)
{
    const Outcome help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with("Usage: tavrik-batch [OPTIONS] DATAFILE\n"));
    // every option is listed: see ManualPageAndHelpListTheSameOptions
    const Outcome version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.substr(0, version.out.find('\n') + 1), "tavrik-batch 5.0\n");
    EXPECT_NE(version.out.find("License GPL-3.0-or-later"), std::string::npos) << version.out;
}

TEST_F(BatchProgram, RefusesNamesThatChooseNothingOrMoreThanOneEntryOrOnePopulation)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"@cli_three_pops.tvk --population Aven --population aven", "no population named \"aven\""},
        {"@cli_three_pops.tvk --variable=Width", "no variable named \"Width\""},
        {"--population Aven @cli_duplicate_names.tvk",
         "population name \"Aven\" is ambiguous: populations 1 and 3"},
        {"--variable Length @cli_duplicate_names.tvk", "variable name \"Length\" is ambiguous"},
        {"@cli_one_population.tvk", "at least 2 populations must be selected"},
        {"@cli_three_pops.tvk --population Brisk --population Brisk", "found 1"},
    };
    for (const auto& [line, complaint] : cases) {
        expectRefused(line, 2, complaint);
    }
}

TEST_F(BatchProgram, NamesFromTheFileArePrintedHarmlessAndLongListsAreCut)
{
    // A name that would clear the terminal and retitle its window; eight populations, and
    // one of them ("Empty\x1b[2J") without records.
    std::string text = "Escapes\n8, 1\n";
    for (int i = 1; i <= 7; ++i) {
        text += "P" + std::to_string(i) + ", " + std::to_string(i) + ", 10\n";
    }
    text += "\"Empty\x1b[2J\x1b]0;owned\x07\", 8, 10\nLength\n";
    for (int r = 0; r < 2; ++r) {
        for (int i = 1; i <= 7; ++i) {
            text += std::to_string(i) + ", " + std::to_string(i * 3 + r) + "\n";
        }
    }
    writeFile(m_dir / "escapes.tvk", text);

    const Outcome unknown = run({"escapes.tvk", "--population", "No\tsuch"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.err.find('\x1b'), std::string::npos) << unknown.err;
    EXPECT_NE(
        unknown.err.find("no population named \"No\\x09such\" in the data file (it has \"P1\", "
                         "\"P2\", \"P3\", \"P4\", \"P5\" and 3 more)"),
        std::string::npos)
        << unknown.err;

    std::vector<std::string> many{"escapes.tvk"};
    for (int i = 1; i <= 7; ++i) {
        many.push_back("--population=Q" + std::to_string(i));
    }
    const Outcome manyUnknown = run(many);
    EXPECT_EQ(manyUnknown.status, 2);
    EXPECT_EQ(lines(manyUnknown.err).size(), 6u) << manyUnknown.err;
    EXPECT_NE(manyUnknown.err.find("\ntavrik-batch: and 2 more names that are unknown or shared\n"),
              std::string::npos)
        << manyUnknown.err;

    const Outcome noRecords = run({"escapes.tvk"});
    EXPECT_EQ(noRecords.status, 1);
    EXPECT_EQ(noRecords.err.find('\x1b'), std::string::npos) << noRecords.err;
    EXPECT_NE(noRecords.err.find("Population \"Empty\\x1B[2J\\x1B]0;owned\\x07\" has no records"),
              std::string::npos)
        << noRecords.err;
}

// Where text would make a terminal act rather than show: a control other than the line end
// (C0, DEL, C1), a bidirectional embedding, override or isolate, or a byte that is no UTF-8.
std::size_t firstObeyed(const std::string& text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
        if (n == 0 || i + n > text.size()) {
            return i;
        }
        char32_t cp = n == 1 ? c : c & (0x7Fu >> n);
        for (std::size_t k = 1; k < n; ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
        }
        if ((cp < 0x20 && cp != '\n') || (cp >= 0x7F && cp <= 0x9F) ||
            (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069)) {
            return i;
        }
        i += n;
    }
    return std::string::npos;
}

TEST_F(BatchProgram, FileNamesOptionValuesAndConvertedNamesArePrintedHarmless)
{
    // A Latin-1 file: its 0x85 becomes U+0085, which a terminal takes as a line end.
    writeFile(m_dir / "latin1.tvk",
              "Caf\xE9\n2, 1\nNorth\x85, 1, 10\nSouth, 2, 10\nLength\n1, 5\n");
    const Outcome latin = run({"latin1.tvk", "--population", "East"});
    EXPECT_EQ(latin.status, 2);
    EXPECT_NE(latin.err.find("(it has \"North\\x85\", \"South\")"), std::string::npos) << latin.err;
    EXPECT_EQ(firstObeyed(latin.err), std::string::npos) << latin.err;

    const struct
    {
        std::vector<std::string> args;
        std::string shown;
    } cases[] = {
        // file names, unquoted in their messages (the system's reason varies: Windows takes
        // no controls in names)
        {{"no\xE2\x81\xA6such\x1b[2J.tvk"}, "no\\u2066such\\x1B[2J.tvk: "},
        {{"@cli_three_pops.tvk", "--report", "gone\xC2\x9B/r.txt"},
         "Cannot save \"gone\\x9B/r.txt\": the folder \"gone\\x9B\" does not exist"},
        {{"@cli_three_pops.tvk", "--listing", "new\nline/l.txt"},
         "Cannot save \"new\\x0Aline/l.txt\": "},
        // option values, quoted
        {{"@cli_three_pops.tvk", "--heritability", "0.5\xE2\x80\xAE"},
         "heritability \"0.5\\u202E\" is not a number"},
        {{"@cli_three_pops.tvk", "--chart", "a\nb.txt"},
         "--chart \"a\\x0Ab.txt\": the file name must end in .png or .svg"},
        {{"@cli_three_pops.tvk", "--heritability-sweep", "0.1:1\n:0.1", "--sweep-output", "s.csv"},
         "--heritability-sweep \"0.1:1\\x0A:0.1\": FROM, TO and STEP"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> line = c.args;
        if (line.front().starts_with('@')) {
            line.front() = data(line.front().substr(1));
        }
        SCOPED_TRACE(c.shown);
        const Outcome o = run(line);
        EXPECT_NE(o.status, 0);
        EXPECT_NE(o.err.find(c.shown), std::string::npos) << o.err;
        EXPECT_EQ(firstObeyed(o.err), std::string::npos) << o.err;
    }
}

TEST_F(BatchProgram, UnreadableDataFileGivesStatusThreeNamingLineAndField)
{
    const Outcome bad = run({data("cli_bad_value.tvk"), "--report", "report.txt"});
    EXPECT_EQ(bad.status, 3);
    EXPECT_NE(bad.err.find("line 8"), std::string::npos) << bad.err;
    EXPECT_NE(bad.err.find("Breadth"), std::string::npos) << bad.err;
    EXPECT_NE(bad.err.find("l.25"), std::string::npos) << bad.err;
    EXPECT_EQ(filesIn(), std::vector<std::string>{});

    const Outcome missing = run({"no-such-file.tvk"});
    EXPECT_EQ(missing.status, 3);
    EXPECT_NE(missing.err.find("no-such-file.tvk"), std::string::npos) << missing.err;
}

TEST_F(BatchProgram, NeverWritesOverTheDataFile)
{
    fs::copy_file(dataDir / "cli_three_pops.tvk", m_dir / "valleys.tvk");
    const std::string before = readFile(m_dir / "valleys.tvk");
    const Outcome o = run({"valleys.tvk", "--listing", m_dir.string() + "/./valleys.tvk"});
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find("would replace the data file"), std::string::npos) << o.err;
    EXPECT_EQ(readFile(m_dir / "valleys.tvk"), before);
}

TEST_F(BatchProgram, FailedAnalysisGivesStatusOneAndLeavesEveryFileAsItWas)
{
    writeFile(m_dir / "report.txt", "the previous report\r\n");
    const Outcome o =
        run({data("cli_single_record.tvk"), "--report", "report.txt", "--listing", "list.txt"});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("Corran"), std::string::npos) << o.err;
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(readFile(m_dir / "report.txt"), "the previous report\r\n");
    EXPECT_EQ(filesIn(), std::vector<std::string>{"report.txt"});
}

// The text of the report and the listing is pinned against the independent model by the
// export test; here only where they go.
TEST_F(BatchProgram, WritesTheReportToStandardOutputUnlessGivenAFile)
{
    const Outcome toStdout = run({data("cli_three_pops.tvk")});
    ASSERT_EQ(toStdout.status, 0) << toStdout.err;
    EXPECT_EQ(toStdout.err, "");
    EXPECT_TRUE(toStdout.out.starts_with("TAVRIK 5.0\r\n"));

    const Outcome toFiles =
        run({"--listing", "list.txt", data("cli_three_pops.tvk"), "--report", "report.txt"});
    ASSERT_EQ(toFiles.status, 0) << toFiles.err;
    EXPECT_EQ(toFiles.out, "");
    EXPECT_EQ(filesIn(), (std::vector<std::string>{"list.txt", "report.txt"}));
    EXPECT_EQ(readFile(m_dir / "report.txt"), toStdout.out);
    EXPECT_TRUE(readFile(m_dir / "list.txt").starts_with("R Matrix:\r\n"));
}

TEST_F(BatchProgram, RelativeDataPathIsReportedAbsoluteAndOptionsReachTheRun)
{
    fs::copy_file(dataDir / "cli_three_pops.tvk", m_dir / "valleys.tvk");
    const Outcome o = run({"--heritability",
                           "0.55",
                           "--no-bias-correction",
                           "--variable",
                           "Breadth",
                           "./valleys.tvk"});
    ASSERT_EQ(o.status, 0) << o.err;
    const std::vector<std::string> head = lines(o.out);
    ASSERT_GE(head.size(), 14u);
    EXPECT_EQ(head[4], "Data file = " + (m_dir / "valleys.tvk").string() + "\r");
    EXPECT_EQ(head[9], " Data selected for:  3  populations and  1  variables\r");
    EXPECT_EQ(head[11], "Heritability = 0.550\r");
    EXPECT_EQ(head[13], "No correction for sampling bias\r");
}

// Names reach the system as UTF-8 text on every system (on Windows through its wide-character
// calls, not the code page), and the report names the data file as it was given.
TEST_F(BatchProgram, ReadsAndWritesFilesWhoseFolderAndNameAreNotAscii)
{
    const fs::path folder = m_dir / fs::path(u8"Donn\u00e9es");
    fs::create_directories(folder);
    fs::copy_file(dataDir / "cli_three_pops.tvk", folder / fs::path(u8"\u00d6l\u00e7\u00fcm.tvk"));
    const std::string name = "Donn\xc3\xa9"
                             "es/\xc3\x96l\xc3\xa7\xc3\xbcm";
    const Outcome o = run({name + ".tvk", "--report", name + ".txt", "--listing", name + ".lst"});
    ASSERT_EQ(o.status, 0) << o.err;
    const std::string report = readFile(folder / fs::path(u8"\u00d6l\u00e7\u00fcm.txt"));
    EXPECT_NE(report.find("\xc3\x96l\xc3\xa7\xc3\xbcm.tvk\r\n"), std::string::npos) << report;
    EXPECT_TRUE(fs::exists(folder / fs::path(u8"\u00d6l\u00e7\u00fcm.lst")));
    // the data file, the report and the listing: no temporary file left behind
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 3);

    const Outcome missing = run({"Donn\xc3\xa9"
                                 "es/\xc3\x85.tvk"});
    EXPECT_EQ(missing.status, 3);
    EXPECT_NE(missing.err.find("Donn\xc3\xa9"
                               "es"),
              std::string::npos)
        << missing.err;
}

TEST_F(BatchProgram, AcceptsHeritabilityWrittenAsAnyDecimalNumber)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"1", "1.000"}, {".5", "0.500"}, {"1e-3", "0.001"}, {"2.5E-1", "0.250"}};
    for (const auto& [given, shown] : cases) {
        const Outcome o = run({"--heritability=" + given, data("cli_three_pops.tvk")});
        ASSERT_EQ(o.status, 0) << given << ": " << o.err;
        EXPECT_EQ(lines(o.out)[11], "Heritability = " + shown + "\r") << given;
    }
}

TEST_F(BatchProgram, ChoiceFollowsFileOrderAndRepeatedRunsAreByteIdentical)
{
    const Outcome shuffled = run({data("cli_three_pops.tvk"),
                                  "--population",
                                  "Corran",
                                  "--population",
                                  "Aven",
                                  "--population",
                                  "Corran"});
    const Outcome ordered =
        run({data("cli_three_pops.tvk"), "--population", "Aven", "--population", "Corran"});
    ASSERT_EQ(shuffled.status, 0) << shuffled.err;
    EXPECT_EQ(shuffled.out, ordered.out);
    const std::string table = shuffled.out.substr(shuffled.out.find("Populations used"));
    EXPECT_LT(table.find("\nAven "), table.find("\nCorran "));
    EXPECT_EQ(table.find("\nBrisk "), std::string::npos);

    // Without a fixed instant the date line follows the clock, yet the rest stays the same.
    const Outcome clocked = run({data("cli_three_pops.tvk")}, "");
    const Outcome fixed = run({data("cli_three_pops.tvk")});
    ASSERT_EQ(clocked.status, 0) << clocked.err;
    EXPECT_NE(lines(clocked.out)[1], lines(fixed.out)[1]);
    EXPECT_EQ(clocked.out.substr(clocked.out.find("Data file")),
              fixed.out.substr(fixed.out.find("Data file")));
}

TEST_F(BatchProgram, SourceDateEpochIsAWholeSecondFrom1970ToTheEndOf9999)
{
    const std::vector<std::pair<std::string, std::string>> accepted = {
        {"0", "Thursday, January 01, 1970"},
        {"253402300799", "Friday, December 31, 9999"},
    };
    for (const auto& [epoch, date] : accepted) {
        const Outcome o = run({data("cli_three_pops.tvk")}, epoch);
        ASSERT_EQ(o.status, 0) << o.err;
        EXPECT_NE(lines(o.out).at(1).find(date), std::string::npos) << lines(o.out).at(1);
    }
    for (const std::string epoch : {"253402300800",
                                    "99999999999999999",
                                    "99999999999999999999",
                                    "-1",
                                    "+5",
                                    " 5",
                                    "1.5",
                                    "1e9",
                                    "12\x1b]0;x"}) {
        SCOPED_TRACE(epoch);
        const Outcome o = run({data("cli_three_pops.tvk"), "--report", "r.txt"}, epoch);
        EXPECT_EQ(o.status, 2);
        EXPECT_TRUE(o.err.starts_with("tavrik-batch: SOURCE_DATE_EPOCH must be a whole number of "
                                      "seconds since 1970, at most 253402300799 (the end of the "
                                      "year 9999), found \""))
            << o.err;
        EXPECT_EQ(o.err.find('\x1b'), std::string::npos) << o.err;
        EXPECT_EQ(filesIn(), std::vector<std::string>{});
    }
}

TEST_F(BatchProgram, ProgressLinesGoToStandardErrorOnlyWhenAskedFor)
{
    // the same lines whether the second pass reads the file again or the kept records
    std::string firstReport;
    // and whatever the number of threads
    for (const std::string budget : {"0", "200", "64K", "1g", "17179869183G"}) {
        const std::string threads = budget.size() % 2 == 0 ? "1" : "3";
        SCOPED_TRACE(budget + ", " + threads + " threads");
        const Outcome o = run({"--progress",
                               data("cli_three_pops.tvk"),
                               "--report",
                               "r.txt",
                               "--memory-budget",
                               budget,
                               "--threads",
                               threads});
        ASSERT_EQ(o.status, 0) << o.err;
        // 45 records: a line after every 20th record of each pass, which a fast run leaves
        // out, and always the one at its end.
        std::vector<std::string> progress = lines(o.err);
        std::erase_if(progress, [](const std::string& line) {
            return line.ends_with(" = 20 ...") || line.ends_with(" = 40 ...");
        });
        const std::vector<std::string> expected = {
            "...computing...",
            "...pass 1 of 2, cases read = 45 ...",
            "...computing...",
            "...pass 2 of 2, cases read = 45 ...",
            "...computing...",
            "...inverting matrix...",
        };
        ASSERT_GE(progress.size(), expected.size()) << o.err;
        EXPECT_EQ(std::vector(progress.begin(), progress.begin() + 6), expected);
        EXPECT_TRUE(o.err.ends_with("\n"));
        EXPECT_EQ(o.err.find('\r'), std::string::npos);
        const std::string report = readFile(m_dir / "r.txt");
        if (firstReport.empty()) {
            firstReport = report;
        }
        EXPECT_EQ(report, firstReport);
        EXPECT_FALSE(report.empty());
    }
}

} // namespace
