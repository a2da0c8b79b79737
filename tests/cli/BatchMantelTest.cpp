// The Mantel test through tavrik-batch: the summary after the unchanged report, the file of
// pairs, reproducibility across threads, the scaled matrix, and the refusals with their exit
// statuses; the partial test with a control.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "BatchHarness.h"

namespace {

using namespace tavrik::test;

class BatchMantel : public BatchProgram
{
protected:
    static std::string example(const std::string& name)
    {
        return std::string(TAVRIK_EXAMPLES) + "/" + name;
    }
    Outcome runOn(const std::string& options) const
    {
        std::vector<std::string> a = args(options);
        a.insert(a.begin(), example("highland.tvk"));
        return run(a);
    }
    static std::string geography() { return example("highland_geography.csv"); }
};

TEST_F(BatchMantel, SummaryFollowsTheUnchangedReportWhateverTheThreads)
{
    const Outcome plain = runOn("");
    ASSERT_EQ(plain.status, 0) << plain.err;
    // fewer than the 720 orders of the six populations: drawn at random
    const Outcome o =
        runOn("--mantel " + geography() + " --seed 5 --permutations 500 --mantel-output m.txt");
    ASSERT_EQ(o.status, 0) << o.err;
    ASSERT_TRUE(o.out.starts_with(plain.out));
    const std::string summary = o.out.substr(plain.out.size());
    const std::vector<std::string> rows = lines(summary);
    ASSERT_EQ(rows.size(), 8u) << summary;
    EXPECT_EQ(rows[1],
              "Mantel test against geography: Pearson correlation, 500 permutations, "
              "seed 5\r");
    EXPECT_EQ(rows[2],
              "Geographic distances: great-circle km from the coordinates in "
              "highland_geography.csv\r");
    EXPECT_EQ(rows[3],
              "p (one-sided, greater) = (permutations whose r reaches the observed r + 1) / "
              "(500 + 1)\r");
    EXPECT_TRUE(rows[7].starts_with("D-square ")) << rows[7];

    const std::string pairs = readFile(m_dir / "m.txt");
    EXPECT_TRUE(allLinesEndCrLf(pairs));
    EXPECT_TRUE(pairs.starts_with(summary.substr(2)));
    const std::vector<std::string> pairRows = lines(pairs.substr(summary.size() - 2));
    ASSERT_EQ(pairRows.size(), 3u + 15u) << pairs;
    EXPECT_TRUE(pairRows[3].starts_with("Ostvarrin    Kelmoth ")) << pairRows[3];

    const Outcome again = runOn("--mantel " + geography() +
                                " --seed 5 --permutations 500 --threads 1 --mantel-output n.txt");
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out, o.out);
    EXPECT_EQ(readFile(m_dir / "n.txt"), pairs);
}

TEST_F(BatchMantel, ScaledRunTestsBothMatricesAndAllOrdersGiveTheExactP)
{
    // the default 9999 permutations are more than the 720 orders: every order is tried
    const Outcome o =
        runOn("--scaled --mantel " + geography() + " --mantel-method spearman --json m.json");
    ASSERT_EQ(o.status, 0) << o.err;
    const std::size_t at = o.out.find("\r\nMantel test against geography: Spearman correlation, "
                                      "all 720 orders of the 6 populations\r\n");
    ASSERT_NE(at, std::string::npos) << o.out;
    const std::string summary = o.out.substr(at);
    EXPECT_NE(summary.find("p (one-sided, greater, exact) = orders whose r reaches the observed "
                           "r / 720\r\n"),
              std::string::npos)
        << summary;
    EXPECT_NE(summary.find("\r\nD-square "), std::string::npos);
    EXPECT_NE(summary.find("\r\nScaled D-square "), std::string::npos);
    // the results document carries the same test
    const std::string json = readFile(m_dir / "m.json");
    for (const char* member : {"\"method\": \"spearman\"",
                               "\"permutations\": 720",
                               "\"exhaustive\": true",
                               "\"alternative\": \"greater\"",
                               "\"matrix\": \"Scaled D-square\""}) {
        EXPECT_NE(json.find(member), std::string::npos) << member;
    }

    // two-sided: |r| against |r|, said so in the summary and the document
    const Outcome two = runOn("--mantel " + geography() +
                              " --permutations all --mantel-alternative two-sided --json t.json");
    ASSERT_EQ(two.status, 0) << two.err;
    EXPECT_NE(two.out.find("\r\np (two-sided, exact) = orders whose |r| reaches the observed |r| "
                           "/ 720\r\n"),
              std::string::npos)
        << two.out;
    EXPECT_NE(readFile(m_dir / "t.json").find("\"alternative\": \"two-sided\""), std::string::npos);
}

TEST_F(BatchMantel, PartialTestFollowsThePlainOneInEveryOutput)
{
    // a second distance matrix, in the file's own order, which is not the run's
    writeFile(m_dir / "time.csv",
              "Population,Mirrowdale,Ostvarrin,Kelmoth,Harnavel,Tullibrack,Saundry Fell\n"
              "Mirrowdale,0,650,350,150,200,550\n"
              "Ostvarrin,650,0,300,800,450,1200\n"
              "Kelmoth,350,300,0,500,150,900\n"
              "Harnavel,150,800,500,0,350,400\n"
              "Tullibrack,200,450,150,350,0,750\n"
              "Saundry Fell,550,1200,900,400,750,0\n");
    const std::string plainArgs = "--mantel " + geography() + " --seed 3 --permutations 400";
    const Outcome plain = runOn(plainArgs);
    ASSERT_EQ(plain.status, 0) << plain.err;
    const Outcome o = runOn(plainArgs + " --mantel-control time.csv --mantel-output m.txt "
                                        "--json m.json --threads 3");
    ASSERT_EQ(o.status, 0) << o.err;
    ASSERT_TRUE(o.out.starts_with(plain.out));
    const std::vector<std::string> rows = lines(o.out.substr(plain.out.size()));
    ASSERT_EQ(rows.size(), 9u) << o.out;
    EXPECT_EQ(rows[1],
              "Partial Mantel test (Smouse, Long and Sokal): r(matrix, geographic | "
              "control)\r");
    EXPECT_EQ(rows[2], "Control distances: the distance matrix in time.csv\r");
    EXPECT_EQ(rows[3], "r(geographic, control) = 0.154274\r");
    EXPECT_EQ(rows[8],
              "D-square                -0.136206     0.517232     0.062344           24\r");

    const std::string pairs = readFile(m_dir / "m.txt");
    EXPECT_NE(pairs.find("Geographic km          Control         D-square\r\n"), std::string::npos)
        << pairs;
    EXPECT_NE(pairs.find("\r\nOstvarrin    Kelmoth              47.790090       300.000000 "),
              std::string::npos)
        << pairs;
    const std::string json = readFile(m_dir / "m.json");
    for (const char* member : {"\"file\": \"time.csv\"",
                               "\"rGeographic\": 0.15427385049133197",
                               "\"reached\": 24",
                               "\"r\": 0.517232496937376"}) {
        EXPECT_NE(json.find(member), std::string::npos) << member;
    }
    const Outcome one = runOn(plainArgs + " --mantel-control time.csv --threads 1");
    EXPECT_EQ(one.out.substr(plain.out.size()), o.out.substr(plain.out.size()));

    std::filesystem::remove(m_dir / "m.txt");
    std::filesystem::remove(m_dir / "m.json");
    expectRefused(
        "@cli_three_pops.tvk --mantel-control time.csv", 2, "--mantel-control needs", {"time.csv"});
    expectRefused("@cli_three_pops.tvk --mantel g.csv --mantel-control time.csv --report time.csv",
                  2,
                  "would replace the control file",
                  {"time.csv"});
    const std::string highland = example("highland.tvk");
    expectRefused(highland + " --mantel " + geography() + " --mantel-control " + geography(),
                  1,
                  "the geographic distances and the control distances in highland_geography.csv "
                  "are perfectly correlated (r = 1.000000)",
                  {"time.csv"});
}

TEST_F(BatchMantel, RefusesWhatCannotBeTested)
{
    const std::string geo = geography();
    expectRefused("@cli_three_pops.tvk --permutations 99", 2, "--permutations needs --mantel");
    expectRefused("@cli_three_pops.tvk --mantel-method spearman", 2, "--mantel-method needs");
    expectRefused("@cli_three_pops.tvk --mantel-output m.txt", 2, "--mantel-output needs");
    expectRefused(
        "@cli_three_pops.tvk --mantel-alternative two-sided", 2, "--mantel-alternative needs");
    expectRefused("@cli_three_pops.tvk --mantel g.csv --mantel-alternative less",
                  2,
                  "\"less\": expected greater or two-sided");
    expectRefused("@cli_three_pops.tvk --mantel g.csv --permutations 0", 2, "\"0\"");
    expectRefused("@cli_three_pops.tvk --mantel g.csv --mantel-method kendall", 2, "\"kendall\"");
    expectRefused("@cli_three_pops.tvk --mantel g.csv", 3, "g.csv");
    expectRefused("@cli_three_pops.tvk --mantel " + geo + " --mantel-output " + geo,
                  2,
                  "would replace the geography file");

    writeFile(m_dir / "bad.csv", "pop,lat,lon\nAven,57,-4\nBrisk,91,-4\nCorran,57,-5\n");
    expectRefused("@cli_three_pops.tvk --mantel bad.csv",
                  3,
                  "bad.csv, line 3, column 2 (lat): expected a latitude",
                  {"bad.csv"});
    writeFile(m_dir / "few.csv", "pop,lat,lon\nAven,57,-4\nElsewhere,56,-3\n");
    expectRefused("@cli_three_pops.tvk --mantel few.csv --report r.txt",
                  3,
                  "few.csv: no distances are given for the populations \"Brisk\", \"Corran\" "
                  "of the run (the file names \"Aven\", \"Elsewhere\")",
                  {"bad.csv", "few.csv"});
    // refused before the run, whatever the file holds
    expectRefused("@golden/too_large.tvk --mantel few.csv --permutations all",
                  2,
                  "at most 9 populations, and 20 are chosen",
                  {"bad.csv", "few.csv"});
}

} // namespace
