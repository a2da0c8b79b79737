// The heritability sweep and the bootstrap through tavrik-batch: the files they write, the
// summary after the report (the report itself unchanged), reproducibility, and the refusals.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "BatchHarness.h"

namespace {

using namespace tavrik::test;

class BatchResampling : public BatchProgram
{
protected:
    static std::string highland() { return std::string(TAVRIK_EXAMPLES) + "/highland.tvk"; }
    Outcome runOn(const std::string& options) const
    {
        std::vector<std::string> a = args(options);
        a.insert(a.begin(), highland());
        return run(a);
    }
};

TEST_F(BatchResampling, SweepWritesOneLinePerHeritabilityEndingAtTheDefaultRun)
{
    const Outcome plain = runOn("--report plain.txt");
    ASSERT_EQ(plain.status, 0) << plain.err;
    const Outcome o =
        runOn("--report r.txt --heritability-sweep 0.2:1:0.05 --sweep-output sweep.csv");
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(readFile(m_dir / "r.txt"), readFile(m_dir / "plain.txt"));
    const std::string csv = readFile(m_dir / "sweep.csv");
    EXPECT_TRUE(allLinesEndCrLf(csv));
    const std::vector<std::string> rows = lines(csv);
    ASSERT_EQ(rows.size(), 18u);
    EXPECT_EQ(rows[0],
              "Heritability,Fst,Unbiased Fst,Fst se,r[ii] Ostvarrin,r[ii] Kelmoth,r[ii] "
              "Harnavel,r[ii] Tullibrack,r[ii] Saundry Fell,r[ii] Mirrowdale\r");
    EXPECT_TRUE(rows[1].starts_with("0.20,"));
    EXPECT_TRUE(rows[3].starts_with("0.30,"));
    // The report prints Fst = 0.034563 and Unbiased Fst = 0.026051 at heritability 1.
    const std::string report = readFile(m_dir / "r.txt");
    ASSERT_NE(report.find("            Fst = 0.034563\r\n"), std::string::npos);
    ASSERT_NE(report.find("   Unbiased Fst = 0.026051\r\n"), std::string::npos);
    EXPECT_TRUE(rows[17].starts_with("1.00,0.0345627")) << rows[17];
    EXPECT_NE(rows[17].find(",0.0260509"), std::string::npos) << rows[17];
}

TEST_F(BatchResampling, BootstrapSummaryFollowsTheUnchangedReport)
{
    const Outcome plain = runOn("");
    ASSERT_EQ(plain.status, 0) << plain.err;
    const Outcome o = runOn("--bootstrap 200 --seed 5 --bootstrap-output b.csv");
    ASSERT_EQ(o.status, 0) << o.err;
    ASSERT_TRUE(o.out.starts_with(plain.out));
    const std::string summary = o.out.substr(plain.out.size());
    EXPECT_TRUE(summary.starts_with("\r\nBootstrap of the R matrix: 200 replicates, seed 5; 95 % "
                                    "BCa intervals\r\nBCa interval: bias-corrected and "
                                    "accelerated points of the replicates (Efron 1987); "
                                    "acceleration from a jackknife leaving out one record at a "
                                    "time\r\n"))
        << summary;
    // Fst is biased upward under resampling, and the summary says so
    EXPECT_NE(summary.find("Note: the bootstrap mean of Fst lies 1.446 bootstrap standard errors "
                           "above the estimate"),
              std::string::npos);
    EXPECT_NE(summary.find("Replicates used: 200; matrix could not be inverted: 0; other "
                           "failures: 0\r\n"),
              std::string::npos);
    EXPECT_NE(summary.find("\r\nD-square Saundry Fell / Mirrowdale "), std::string::npos);

    const std::string csv = readFile(m_dir / "b.csv");
    EXPECT_TRUE(allLinesEndCrLf(csv));
    const std::vector<std::string> rows = lines(csv);
    ASSERT_EQ(rows.size(), 1u + 2u + 6u + 15u);
    EXPECT_EQ(rows[0],
              "Statistic,Population,Population2,Estimate,Analytic se,Bootstrap mean,Bias,"
              "Bootstrap se,BCa lower,BCa upper,Interval,Seed,Replicates,Used,Not invertible,"
              "Other failures\r");
    EXPECT_TRUE(rows[1].starts_with("Fst,,,0.0345627"));
    EXPECT_TRUE(rows[3].starts_with("r(ii),Ostvarrin,,"));
    EXPECT_TRUE(rows[9].starts_with("D-square,Ostvarrin,Kelmoth,"));

    // Same seed, same numbers, whatever the threads; another seed, other numbers.
    const Outcome again = runOn("--bootstrap 200 --seed 5 --threads 1 --bootstrap-output c.csv");
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out, o.out);
    EXPECT_EQ(readFile(m_dir / "c.csv"), csv);
    const Outcome other = runOn("--bootstrap 200 --seed 6 --bootstrap-output d.csv");
    ASSERT_EQ(other.status, 0) << other.err;
    EXPECT_NE(readFile(m_dir / "d.csv"), csv);
}

TEST_F(BatchResampling, RefusesIncompleteOrMalformedRequests)
{
    expectRefused("@cli_three_pops.tvk --heritability-sweep 0.2:1:0.1",
                  2,
                  "--heritability-sweep needs --sweep-output FILE");
    expectRefused("@cli_three_pops.tvk --sweep-output s.csv", 2, "--sweep-output needs");
    expectRefused("@cli_three_pops.tvk --heritability-sweep 0.2:0.1:0.1 --sweep-output s.csv",
                  2,
                  "0 < FROM <= TO <= 1");
    expectRefused("@cli_three_pops.tvk --bootstrap 1", 2, "--bootstrap \"1\"");
    expectRefused("@cli_three_pops.tvk --bootstrap x", 2, "--bootstrap \"x\"");
    expectRefused("@cli_three_pops.tvk --seed 3", 2, "--seed needs --bootstrap N");
    expectRefused("@cli_three_pops.tvk --bootstrap-output b.csv", 2, "needs --bootstrap N");
    expectRefused("@cli_three_pops.tvk --bootstrap 10 --seed -1", 2, "--seed \"-1\"");
    expectRefused("@cli_three_pops.tvk --bootstrap 10 --threads 0", 2, "--threads \"0\"");
    expectRefused("@cli_three_pops.tvk --report r.csv --bootstrap 10 --bootstrap-output r.csv",
                  2,
                  "name the same file");
}

TEST_F(BatchResampling, ABootstrapBeyondTheMemoryEndsWithAMessageNotAnAbort)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than any limit allows";
#else
    if (!childSetupWorks()) {
        GTEST_SKIP() << "no limit of address space can be set on a child here";
    }
    // ten million replicates keep about 4 GB of statistics: refused before they start
    std::vector<std::string> a = args("--bootstrap 10000000 --listing l.txt");
    a.insert(a.begin(), highland());
    const Outcome o = run(a, "1000000000", addressSpaceLimit(std::uint64_t{400} << 20));
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_NE(o.err.find("The bootstrap needs about "), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("ask for fewer replicates"), std::string::npos) << o.err;
    EXPECT_FALSE(fs::exists(m_dir / "l.txt"));
#endif
}

} // namespace
