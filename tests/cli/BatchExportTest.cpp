// The result files of tavrik-batch: what each holds, checked against the report of the same
// run and against the rules of the files themselves, and when they are refused.
#include "datafile/CsvImport.h"

#include <cmath>
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

// Lines without their CR LF.
std::vector<std::string> crlfLines(const std::string& text)
{
    std::vector<std::string> result = lines(text);
    for (std::string& line : result) {
        if (line.ends_with('\r')) {
            line.pop_back();
        }
    }
    return result;
}

std::vector<std::string> split(const std::string& line, char separator)
{
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, separator)) {
        fields.push_back(field);
    }
    return fields;
}

std::vector<std::string> words(const std::string& line)
{
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string w; in >> w;) {
        fields.push_back(w);
    }
    return fields;
}

// The table rows that follow a heading line of the report (compared word by word), up to the
// next empty line after the first row: population name first, then the numbers as printed.
std::map<std::string, std::vector<std::string>>
reportTable(const std::string& report, const std::string& heading, std::size_t occurrence = 0)
{
    const std::vector<std::string> all = crlfLines(report);
    std::size_t at = 0;
    for (std::size_t seen = 0; at < all.size(); ++at) {
        if (words(all[at]) == words(heading) && seen++ == occurrence) {
            break;
        }
    }
    std::map<std::string, std::vector<std::string>> rows;
    for (std::size_t i = at + 1; i < all.size(); ++i) {
        const std::vector<std::string> w = words(all[i]);
        if (w.size() >= 3 && w[0] != "Population") {
            rows[w[0]] = std::vector(w.begin() + 1, w.end());
        } else if (!rows.empty()) {
            break;
        }
    }
    return rows;
}

// A data file of g populations with differing census sizes and two variables: report and
// listing together far exceed what fits on screen.
std::string manyPopulations(int g)
{
    std::string text = "\"Many valleys\"\n" + std::to_string(g) + ", 2\n";
    for (int i = 1; i <= g; ++i) {
        text += "P" + std::to_string(i) + ", " + std::to_string(i) + ", " +
                std::to_string(100 + i) + "\n";
    }
    text += "X, Y\n";
    for (int i = 1; i <= g; ++i) {
        for (int k = 0; k < 3; ++k) {
            text += std::to_string(i) + ", " + std::to_string(0.3 * i + 1.1 * k + 0.2 * (i % 3)) +
                    ", " + std::to_string((i * 7) % 5 + 0.7 * k + 0.3 * ((k * i) % 4)) + "\n";
        }
    }
    return text;
}

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
    writeFile(m_dir / "many.tvk", manyPopulations(30));
    const Outcome large =
        run(args("many.tvk --show-matrices --report r.txt --listing l.txt --save-output s.txt"));
    ASSERT_EQ(large.status, 0) << large.err;
    EXPECT_NE(large.err.find("too large"), std::string::npos) << large.err;
    const std::string largeListing = readFile(m_dir / "l.txt");
    EXPECT_GT(largeListing.size(), 24000u);
    EXPECT_EQ(readFile(m_dir / "s.txt"), readFile(m_dir / "r.txt") + "\r\n" + largeListing);
}

TEST_F(BatchExport, MatrixFilesHoldTheRunsMatricesInEveryLayout)
{
    const Outcome o = run(args("@cli_three_pops.tvk --report rep.txt --matrix r:list-space:r.txt "
                               "--matrix=d2:list-comma:d.csv --matrix r:square-comma:rs.csv "
                               "--matrix d2:square-space:ds.txt --matrix r:ntsys:r.nts "
                               "--matrix d2:ntsys:d.nts"));
    ASSERT_EQ(o.status, 0) << o.err;
    for (const char* name : {"r.txt", "d.csv", "rs.csv", "ds.txt", "r.nts", "d.nts"}) {
        EXPECT_TRUE(allLinesEndCrLf(readFile(m_dir / name))) << name;
    }

    // R as a list: header, the g diagonal lines, then the g(g-1)/2 pairs in order.
    const std::vector<std::string> rList = crlfLines(readFile(m_dir / "r.txt"));
    ASSERT_EQ(rList.size(), 7u);
    EXPECT_EQ(rList[0], "Popi Popj r(ij)");
    EXPECT_TRUE(rList[6].starts_with("Brisk Corran "));
    std::map<std::string, double> r;
    for (std::size_t i = 1; i < rList.size(); ++i) {
        const std::vector<std::string> f = split(rList[i], ' ');
        ASSERT_EQ(f.size(), 3u) << rList[i];
        r[f[0] + "/" + f[1]] = r[f[1] + "/" + f[0]] = std::strtod(f[2].c_str(), nullptr);
    }
    // The diagonal is the unbiased r(ii) of the report's table, to the printed digit.
    const std::vector<std::string> names = {"Aven", "Brisk", "Corran"};
    const auto diagonals = reportTable(readFile(m_dir / "rep.txt"), "Diagonals of the R Matrix:");
    for (std::size_t i = 0; i < names.size(); ++i) {
        ASSERT_EQ(diagonals.count(names[i]), 1u) << names[i];
        EXPECT_EQ(rList[1 + i], names[i] + " " + names[i] + " " + diagonals.at(names[i]).at(1));
    }

    // D-square as a list: pairs only, each r(ii) + r(jj) - 2 r(ij) to the printed decimals.
    const std::vector<std::string> dList = crlfLines(readFile(m_dir / "d.csv"));
    ASSERT_EQ(dList.size(), 4u);
    EXPECT_EQ(dList[0], "Popi,Popj,D2(ij)");
    for (std::size_t i = 1; i < dList.size(); ++i) {
        const std::vector<std::string> f = split(dList[i], ',');
        ASSERT_EQ(f.size(), 3u);
        const double expected =
            r[f[0] + "/" + f[0]] + r[f[1] + "/" + f[1]] - 2 * r[f[0] + "/" + f[1]];
        EXPECT_NEAR(std::strtod(f[2].c_str(), nullptr), expected, 4 * 0.5e-6) << dList[i];
    }

    // Square layouts: g + 1 fields per line, the list's values, symmetric; D2 zero diagonal.
    const std::vector<std::string> rSquare = crlfLines(readFile(m_dir / "rs.csv"));
    ASSERT_EQ(rSquare.size(), 4u);
    EXPECT_EQ(rSquare[0], "Population,Aven,Brisk,Corran");
    for (std::size_t i = 1; i <= 3; ++i) {
        const std::vector<std::string> f = split(rSquare[i], ',');
        ASSERT_EQ(f.size(), 4u) << rSquare[i];
        EXPECT_EQ(f[0], names[i - 1]);
        for (std::size_t j = 1; j <= 3; ++j) {
            EXPECT_EQ(std::strtod(f[j].c_str(), nullptr), r[names[i - 1] + "/" + names[j - 1]]);
        }
    }
    const std::vector<std::string> dSquare = crlfLines(readFile(m_dir / "ds.txt"));
    ASSERT_EQ(dSquare.size(), 4u);
    EXPECT_EQ(dSquare[0], "Population Aven Brisk Corran");
    EXPECT_EQ(split(dSquare[2], ' ').at(2), "0.000000");

    // NT-SYS: "3" marks a similarity, "2" a distance; then the names and the lower triangle.
    const std::vector<std::string> rNts = crlfLines(readFile(m_dir / "r.nts"));
    const std::vector<std::string> dNts = crlfLines(readFile(m_dir / "d.nts"));
    ASSERT_EQ(rNts.size(), 5u);
    ASSERT_EQ(dNts.size(), 5u);
    EXPECT_EQ(rNts[0], "3 3L 3 0");
    EXPECT_EQ(dNts[0], "2 3L 3 0");
    EXPECT_EQ(rNts[1], "Aven Brisk Corran");
    EXPECT_EQ(dNts[2], "0.000000");
    const std::vector<std::string> lastRow = split(rSquare[3], ',');
    EXPECT_EQ(split(rNts[4], ' '), std::vector(lastRow.begin() + 1, lastRow.end()));
}

TEST_F(BatchExport, PhylipFileIsTheSquareDistanceMatrixThatNeighborReads)
{
    const Outcome o = run(args("@cli_three_pops.tvk --matrix d2:square-space:ds.txt "
                               "--matrix d2:phylip:infile"));
    ASSERT_EQ(o.status, 0) << o.err;
    const std::vector<std::string> square = crlfLines(readFile(m_dir / "ds.txt"));
    const std::vector<std::string> phylip = crlfLines(readFile(m_dir / "infile"));
    ASSERT_EQ(phylip.size(), 4u);
    EXPECT_EQ(phylip[0], "3");
    for (std::size_t i = 1; i <= 3; ++i) {
        // the square file's row, with the name padded to ten columns
        const std::string name = split(square[i], ' ').at(0);
        EXPECT_EQ(phylip[i],
                  name + std::string(10 - name.size(), ' ') + square[i].substr(name.size()));
    }

    // Debian's phylip package installs its programs outside the search path.
    const fs::path neighbor = "/usr/lib/phylip/bin/neighbor";
    if (!fs::exists(neighbor)) {
        GTEST_SKIP() << "phylip's neighbor is not installed";
    }
    // neighbor reads "infile" in its folder and waits for Y to accept its default settings.
    const std::string command =
        "cd '" + m_dir.string() + "' && printf 'Y\\n' | " + neighbor.string() + " >log 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << readFile(m_dir / "log");
    const std::string tree = readFile(m_dir / "outtree");
    for (const char* name : {"Aven:", "Brisk:", "Corran:"}) {
        EXPECT_NE(tree.find(name), std::string::npos) << tree;
    }
}

TEST_F(BatchExport, ScoresAndVelbrandTorvaneFilesCarryTheReportsFigures)
{
    const Outcome o = run(args("@cli_three_pops.tvk --scaled --report r.txt --pc-scores pc.csv "
                               "--scaled-pc-scores spc.csv --vt-results vt.csv"));
    ASSERT_EQ(o.status, 0) << o.err;
    const std::string report = readFile(m_dir / "r.txt");

    // The R matrix's scores come first in the report, the scaled matrix's second.
    for (std::size_t occurrence : {0u, 1u}) {
        const char* file = occurrence == 0 ? "pc.csv" : "spc.csv";
        SCOPED_TRACE(file);
        const std::vector<std::string> csv = crlfLines(readFile(m_dir / file));
        ASSERT_EQ(csv.size(), 4u);
        EXPECT_EQ(csv[0], "Population,PC1,PC2");
        const auto table =
            reportTable(report,
                        "First two eigenvectors (scaled by the square root of their eigenvalues):",
                        occurrence);
        double sum = 0.0;
        for (std::size_t i = 1; i < csv.size(); ++i) {
            const std::vector<std::string> f = split(csv[i], ',');
            ASSERT_EQ(f.size(), 3u) << csv[i];
            // " 0.0000;-0.0000": a blank stands where a minus would.
            EXPECT_EQ(f[1].size(), 7u) << csv[i];
            ASSERT_EQ(table.count(f[0]), 1u) << f[0];
            EXPECT_EQ((std::vector{words(f[1])[0], words(f[2])[0]}), table.at(f[0]));
            sum += std::strtod(f[1].c_str(), nullptr);
        }
        // The coordinates of a double-centred matrix are centred on zero.
        EXPECT_NEAR(sum, 0.0, 3 * 0.5e-4);
    }

    const std::vector<std::string> vt = crlfLines(readFile(m_dir / "vt.csv"));
    ASSERT_EQ(vt.size(), 4u);
    EXPECT_EQ(vt[0], "Population,r[ii],ObsVar,ExpVar,ResVar");
    const auto table = reportTable(report, "Population r(ii) Observed Expected Residual");
    for (std::size_t i = 1; i < vt.size(); ++i) {
        const std::vector<std::string> f = split(vt[i], ',');
        ASSERT_EQ(f.size(), 5u) << vt[i];
        EXPECT_EQ(std::vector(f.begin() + 1, f.end()), table.at(f[0])) << vt[i];
    }
}

// Names holding a comma, blanks, a tab or a double quote: every comma file reads back through
// the CSV import with one field per column, and the NT-SYS labels stay one per population.
TEST_F(BatchExport, NamesThatHoldSeparatorsKeepEveryFileInItsColumns)
{
    const Outcome o = run(args("@golden/quoted_names.tvk --scaled --report r.txt "
                               "--pc-scores pc.csv --vt-results vt.csv "
                               "--matrix d2:square-comma:d2.csv --matrix r:list-comma:r.csv "
                               "--matrix scaled-d2:ntsys:d2.nts"));
    ASSERT_EQ(o.status, 0) << o.err;
    const std::vector<std::string> names{
        "Blue, male", "Red female", "O\"Hara", "Plain", "Wide\tgap"};
    for (const char* file : {"pc.csv", "vt.csv", "d2.csv", "r.csv"}) {
        SCOPED_TRACE(file);
        auto table = tavrik::readCsv(m_dir / file);
        ASSERT_TRUE(table.ok()) << table.error().message;
        std::vector<std::string> firstCells;
        auto rows = tavrik::readRows(*table, [&firstCells](long, std::vector<std::string>& cells) {
            firstCells.push_back(cells.front());
            return true;
        });
        ASSERT_TRUE(rows.ok()) << rows.error().message;
        ASSERT_GE(firstCells.size(), names.size());
        for (std::size_t i = 0; i < names.size(); ++i) {
            EXPECT_EQ(firstCells[i], names[i]);
        }
    }
    auto square = tavrik::readCsv(m_dir / "d2.csv");
    ASSERT_TRUE(square.ok());
    EXPECT_EQ(square->header.size(), names.size() + 1);

    const std::vector<std::string> nts = crlfLines(readFile(m_dir / "d2.nts"));
    ASSERT_GE(nts.size(), 2u);
    EXPECT_EQ(nts[1], "Blue,_male Red_female O\"Hara Plain Wide_gap");
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

TEST_F(BatchExport, AFileThatCannotBeWrittenLeavesEveryOtherFileAsItWas)
{
    writeFile(m_dir / "vt.csv", "the previous results\r\n");
    const Outcome o = run(args("@cli_three_pops.tvk --report r.txt --vt-results vt.csv "
                               "--matrix d2:ntsys:no-such-folder/d.nts"));
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("no-such-folder/d.nts"), std::string::npos) << o.err;
    EXPECT_EQ(readFile(m_dir / "vt.csv"), "the previous results\r\n");
    EXPECT_EQ(filesIn(), std::vector<std::string>{"vt.csv"});
}

} // namespace
