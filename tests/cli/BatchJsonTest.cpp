// --json through tavrik-batch: the document holds the sweep and the bootstrap of the same run
// as their CSV files give them, stands alone on standard output, and is withheld when the run
// fails.
#include <cstdlib>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "BatchHarness.h"

namespace {

using namespace tavrik::test;
using nlohmann::json;

std::vector<double> csvNumbers(const std::string& row)
{
    std::vector<double> numbers;
    std::istringstream in(row);
    for (std::string f; std::getline(in, f, ',');) {
        numbers.push_back(std::strtod(f.c_str(), nullptr));
    }
    return numbers;
}

TEST_F(BatchProgram, JsonHoldsTheSweepAndBootstrapOfTheRunAsTheirCsvFiles)
{
    const Outcome o = run(args("--report r.txt --json r.json --heritability-sweep 0.5:1:0.25 "
                               "--sweep-output s.csv --bootstrap 20 --bootstrap-output b.csv " +
                               std::string(TAVRIK_EXAMPLES) + "/highland.tvk"));
    ASSERT_EQ(o.status, 0) << o.err;
    const json doc = json::parse(readFile(m_dir / "r.json"));
    const std::vector<std::string> sweep = lines(readFile(m_dir / "s.csv"));
    const json& points = doc["heritabilitySweep"]["points"];
    ASSERT_EQ(sweep.size(), points.size() + 1);
    for (std::size_t p = 0; p < points.size(); ++p) {
        const json& at = points[p];
        std::vector<double> row{at["heritability"], at["fst"], at["fstUnbiased"], at["fstSe"]};
        row.insert(row.end(), at["rDiagonal"].begin(), at["rDiagonal"].end());
        EXPECT_EQ(csvNumbers(sweep[p + 1]), row) << sweep[p + 1];
    }
    EXPECT_EQ(points.back()["fstUnbiased"], doc["fst"]["unbiased"]); // the run's heritability

    // the last statistic: D-square of the last two populations
    const std::vector<std::string> boot = lines(readFile(m_dir / "b.csv"));
    const json& last = doc["bootstrap"]["statistics"].back();
    ASSERT_EQ(boot.size(), doc["bootstrap"]["statistics"].size() + 1);
    EXPECT_TRUE(boot.back().starts_with("D-square,Saundry Fell,Mirrowdale,"));
    EXPECT_EQ(last["population"], "Saundry Fell");
    const std::vector<double> numbers = csvNumbers(boot.back());
    EXPECT_EQ(std::vector<double>(numbers.begin() + 3, numbers.end()),
              (std::vector<double>{last["estimate"],
                                   last["analyticSe"],
                                   last["bootstrapSe"],
                                   last["lower"],
                                   last["upper"]}));
}

TEST_F(BatchProgram, JsonStandsAloneOnStandardOutputAndIsWithheldWhenTheRunFails)
{
    expectRefused("@cli_three_pops.tvk --json -", 2, "--json -: --report also writes to");
    expectRefused("@cli_three_pops.tvk --report r.txt --listing - --json -",
                  2,
                  "--json -: --listing also writes to");
    const Outcome o = run(args("@cli_three_pops.tvk --report r.txt --json -"));
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(json::parse(o.out)["populations"].size(), 3u);

    writeFile(m_dir / "r.json", "earlier");
    EXPECT_EQ(run(args("@run_singular.tvk --report r.txt --json r.json")).status, 1);
    EXPECT_EQ(readFile(m_dir / "r.json"), "earlier");
}

} // namespace
