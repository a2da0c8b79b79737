// --json through tavrik-batch: the document holds the sweep and the bootstrap of the same run
// as their CSV files give them, stands alone on standard output, and is withheld when the run
// fails.
#include <charconv>
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
    EXPECT_EQ(std::vector<double>(numbers.begin() + 3, numbers.begin() + 10),
              (std::vector<double>{last["estimate"],
                                   last["analyticSe"],
                                   last["bootstrapMean"],
                                   last["bias"],
                                   last["bootstrapSe"],
                                   last["lower"],
                                   last["upper"]}));
    EXPECT_TRUE(boot.back().ends_with(",bca,20261207,20,20,0,0\r")) << boot.back();
    EXPECT_EQ(doc["bootstrap"]["interval"], "bca");
}

// Every number token of the document: the text between a ':', '[' or ',' and the next
// ',', ']', '}' or line end, when it starts like a number.
std::vector<std::string> numberTokens(const std::string& text)
{
    std::vector<std::string> tokens;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"' && (i == 0 || text[i - 1] != '\\')) {
            inString = !inString;
        }
        if (inString || !(c == '-' || (c >= '0' && c <= '9'))) {
            continue;
        }
        const std::size_t end = text.find_first_of(",]}\n", i);
        tokens.push_back(text.substr(i, end - i));
        i = end;
    }
    return tokens;
}

TEST_F(BatchProgram, JsonNumbersAreShortestAndLabelsSayWhatTheyHold)
{
    // the heritability as typed and as used; no correction, so no unbiased Fst anywhere
    const Outcome o = run(args("--report r.txt --json r.json --heritability 0.55 "
                               "--no-bias-correction --heritability-sweep 0.5:0.6:0.05 "
                               "--sweep-output s.csv --bootstrap 20 --bootstrap-interval "
                               "percentile " +
                               std::string(TAVRIK_EXAMPLES) + "/highland.tvk"));
    ASSERT_EQ(o.status, 0) << o.err;
    const std::string text = readFile(m_dir / "r.json");
    const json doc = json::parse(text);
    EXPECT_EQ(doc["settings"]["heritability"].get<double>(), 0.55);
    EXPECT_EQ(doc["settings"]["heritabilityUsed"].get<double>(), static_cast<double>(0.55f));
    EXPECT_TRUE(doc["fst"]["unbiased"].is_null());
    EXPECT_EQ(doc["fst"]["unbiasedNote"], "no correction for sampling bias was requested");
    EXPECT_TRUE(doc["heritabilitySweep"]["points"][0]["fstUnbiased"].is_null());
    for (const json& s : doc["bootstrap"]["statistics"]) {
        EXPECT_NE(s["statistic"], "Unbiased Fst");
    }
    EXPECT_EQ(lines(readFile(m_dir / "s.csv")).front().substr(0, 24), "Heritability,Fst,Fst se,");
    EXPECT_EQ(o.out.find("Unbiased Fst"), std::string::npos);

    // each number is the shortest text that reads back to its double: one digit fewer
    // reads back to another double
    std::size_t checked = 0;
    for (const std::string& token : numberTokens(text)) {
        if (token.find_first_of(".eE") == std::string::npos) {
            continue; // a count
        }
        const double value = std::strtod(token.c_str(), nullptr);
        char shortest[32];
        const auto written = std::to_chars(shortest, shortest + sizeof shortest, value);
        std::string expected(shortest, written.ptr);
        if (expected.find_first_of(".eE") == std::string::npos) {
            expected += ".0";
        }
        EXPECT_EQ(token, expected);
        ++checked;
    }
    EXPECT_GT(checked, 300u);
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
