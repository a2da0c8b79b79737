// The results document read back: matrices and the Velbrand-Torvane values against the
// independent model's values to the last bit, the other numbers against the text the report and
// the listing print for them, and the forms the schema promises (short floats, null for what is
// not finite).
#include "export/ResultJson.h"

#include "analysis/AnalysisRun.h"
#include "analysis/ProgressSink.h"
#include "datafile/DataFileReader.h"
#include "report/Clock.h"
#include "report/NumberFormat.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

namespace {

using nlohmann::json;
using Lines = std::vector<std::string>;

const std::string goldenDir = std::string(TAVRIK_TEST_DATA) + "/golden/";

std::string readBytes(const std::string& path)
{
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

Lines crLfLines(const std::string& text)
{
    Lines out;
    for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos;
         at = end + 2) {
        out.push_back(text.substr(at, end - at));
    }
    return out;
}

// The blank-separated fields after prefix on the first line below heading that starts with it.
Lines fieldsAfter(const Lines& lines, const std::string& heading, const std::string& prefix)
{
    Lines fields;
    auto at = std::find(lines.begin(), lines.end(), heading);
    at = std::find_if(at, lines.end(), [&](const std::string& l) { return l.starts_with(prefix); });
    std::istringstream rest(at == lines.end() ? "" : at->substr(prefix.size()));
    for (std::string f; rest >> f;) {
        fields.push_back(f);
    }
    return fields;
}

// The number as the report prints it, without the blank some patterns lead with.
std::string printed(const json& value, const char* pattern)
{
    const std::string text = tavrik::formatNumber(value.get<double>(), pattern);
    return text.substr(text.find_first_not_of(' '));
}

struct Golden
{
    tavrik::RunOutput run;
    std::string text;
    json doc;
};

Golden runGolden(const std::string& name)
{
    std::map<std::string, std::string> c;
    std::istringstream caseText(readBytes(goldenDir + name + ".case"));
    for (std::string key, value; caseText >> key && std::getline(caseText >> std::ws, value);) {
        c[key] = value;
    }
    tavrik::RunInput input;
    input.dataSet = tavrik::loadDataSet(goldenDir + c["data"]).value();
    input.settings.heritability = std::stof(c["heritability"]);
    input.settings.biasCorrection = std::stoi(c["bias"]) != 0;
    input.settings.scaledAnalysis = std::stoi(c["scaled"]) != 0;
    input.selection.popSelected.assign(input.dataSet.popNames.size(), true);
    input.selection.varSelected.assign(input.dataSet.varNames.size(), true);
    tavrik::NullProgress progress;
    Golden g{tavrik::runAnalysis(input, tavrik::fixedUtcClock(0), progress).value(), {}, {}};
    g.text = tavrik::resultJsonText(
        {g.run.dataSet, g.run.basis, g.run.results, g.run.matrixCount, nullptr, nullptr, nullptr});
    g.doc = json::parse(g.text);
    return g;
}

class ResultJsonGolden : public testing::TestWithParam<const char*>
{
};

TEST_P(ResultJsonGolden, ReadsBackAsTheIndependentModelAndTheReportGiveEveryValue)
{
    const Golden g = runGolden(GetParam());
    const json& doc = g.doc;
    const bool scaled = doc["scaled"].is_object();
    const json& vt = doc["velbrandTorvane"];
    const std::map<std::string, json> read{
        {"rMatrix", doc["rMatrix"]["values"]},
        {"dSquare", doc["dSquare"]["values"]},
        {"pcScores", doc["principalCoordinates"]["scores"]},
        {"observedVariance", vt["observedVariance"]},
        {"expectedVariance", vt["expectedVariance"]},
        {"residualVariance", vt["residualVariance"]},
        {"scaledRMatrix", scaled ? doc["scaled"]["rMatrix"] : json()},
        {"scaledDSquare", scaled ? doc["scaled"]["dSquare"] : json()},
        // all zero without the scaled pass, which the document leaves out
        {"scaledPcScores", scaled ? doc["scaled"]["principalCoordinates"]["scores"] : json()}};
    std::istringstream values(readBytes(goldenDir + GetParam() + ".values"));
    std::size_t rows = 0;
    std::size_t cols = 0;
    for (std::string block, token; values >> block >> rows >> cols;) {
        const json& m = read.at(block);
        for (std::size_t k = 0; k < rows * cols && values >> token; ++k) {
            const double got =
                m.is_null() ? 0.0 : (cols == 1 ? m[k] : m[k / cols][k % cols]).get<double>();
            EXPECT_EQ(got, std::strtod(token.c_str(), nullptr)) << block << " " << k;
        }
    }
    EXPECT_EQ(scaled, g.run.matrixCount == 2);

    const Lines report = crLfLines(g.run.report);
    const Lines listing = crLfLines(g.run.matrixFile);
    const bool bias = doc["settings"]["biasCorrection"].get<bool>();
    const json& r = doc["rMatrix"];
    const json& d = doc["dSquare"];
    const json& pops = doc["populations"];
    for (std::size_t i = 0; i < pops.size(); ++i) {
        const std::string name = pops[i]["name"];
        const Lines table = fieldsAfter(report, "Populations used in this analysis:", name);
        const Lines sizes{std::to_string(pops[i]["sampleSize"].get<long>()),
                          printed(pops[i]["censusSize"], "############"),
                          printed(pops[i]["weight"], "0.000")};
        // equal census sizes: the table gives the sample sizes only
        EXPECT_EQ(table, Lines(sizes.begin(), sizes.begin() + (table.size() == 1 ? 1 : 3)));
        Lines diagonal{printed(r["uncorrectedDiagonal"][i], "0.000000"),
                       printed(r["values"][i][i], "0.000000"),
                       printed(r["standardErrors"][i][i], "0.000000")};
        if (!bias) {
            diagonal.erase(diagonal.begin() + 1); // one column: corrected and not are the same
        }
        EXPECT_EQ(fieldsAfter(report, "Diagonals of the R Matrix:", name), diagonal);
        for (std::size_t j = i + 1; j < pops.size(); ++j) {
            const std::string pair =
                name + std::string(15 - name.size(), ' ') + pops[j]["name"].get<std::string>();
            for (const auto& [heading, m] : {std::pair{"R Matrix:", r}, {"D-Square Matrix:", d}}) {
                EXPECT_EQ(fieldsAfter(listing, heading, pair),
                          (Lines{printed(m["values"][i][j], " 0.000000;-0.000000"),
                                 "(" + printed(m["standardErrors"][j][i], "0.000000") + ")"}));
            }
        }
    }
    const json& fst = doc["fst"];
    const std::string fstLines =
        (bias ? "            Fst = " + printed(fst["fst"], "0.000000") + "\r\n   Unbiased Fst = "
              : std::string("            Fst = ")) +
        printed(bias ? fst["unbiased"] : fst["fst"], "0.000000") +
        "\r\n             se = " + printed(fst["se"], "0.000000");
    EXPECT_NE(g.run.report.find(fstLines), std::string::npos) << fstLines;
    EXPECT_EQ(fst["unbiased"].is_null(), !bias); // without the correction there is none
    EXPECT_NE(g.run.report.find("Mean Within-group Phenotypic Variance = " +
                                printed(vt["meanWithinVariance"], "0.000")),
              std::string::npos);

    for (const auto& [heading, pc] :
         {std::pair{"R Matrix:", doc["principalCoordinates"]},
          {"Scaled R Matrix:", scaled ? doc["scaled"]["principalCoordinates"] : json()}}) {
        if (pc.is_null()) {
            continue;
        }
        std::string expected = "There are  " + std::to_string(pc["nonZeroEigenvalues"].get<int>()) +
                               "  non-zero eigenvalues, listed below:\r\n\r\n";
        for (int k = 0; k < pc["nonZeroEigenvalues"].get<int>(); ++k) {
            expected += "   " + printed(pc["eigenvalues"][k], "0.0000") + "\r\n";
        }
        expected += "\r\n";
        // a note on clearly negative eigenvalues may stand between the list and the shares
        std::size_t negative = 0;
        double sum = 0.0;
        for (const double v : pc["eigenvalues"]) {
            if (v < -5E-07) {
                ++negative;
                sum += v;
            }
        }
        if (negative > 0) {
            expected += "Note: " + std::to_string(negative) + " negative eigenvalue" +
                        (negative > 1 ? "s" : "") + ", sum " + printed(sum, "0.0000") +
                        "; the shares below are of the listed eigenvalues\r\n\r\n";
        }
        expected += "The first eigenvalue accounts for " + printed(pc["shares"][0], "###.0");
        const std::size_t section =
            g.run.report.find(std::string("Principal Coordinates Analysis of ") + heading);
        EXPECT_NE(g.run.report.find(expected, section), std::string::npos) << expected;
    }
}

// Census sizes that differ and the scaled pass; no correction; equal sizes, so no scaled pass
INSTANTIATE_TEST_SUITE_P(Runs,
                         ResultJsonGolden,
                         testing::Values("small_scaled", "no_bias", "equal_sizes", "realistic"));

TEST(ResultJson, WritesFloatsShortNonFiniteAsNullAndNeverBadText)
{
    Golden g = runGolden("realistic");
    g.run.basis.heritability = 0.55f;
    g.run.basis.dataTitle = "Caf\xe9"; // a Latin-1 byte that slipped through
    tavrik::BootstrapResult boot;
    boot.seed = 18446744073709551615u;
    boot.statistics.resize(1);
    boot.statistics[0].bootstrapSe = std::nan("");
    boot.statistics[0].upper = INFINITY;
    const std::string text = tavrik::resultJsonText(
        {g.run.dataSet, g.run.basis, g.run.results, g.run.matrixCount, nullptr, &boot, nullptr});
    EXPECT_NE(text.find("\"heritability\": 0.55,"), std::string::npos);
    EXPECT_NE(text.find("\"seed\": 18446744073709551615,"), std::string::npos);
    const json doc = json::parse(text);
    EXPECT_EQ(doc["dataFile"]["title"], "Caf\xef\xbf\xbd");
    EXPECT_TRUE(doc["bootstrap"]["statistics"][0]["bootstrapSe"].is_null());
    EXPECT_TRUE(doc["bootstrap"]["statistics"][0]["upper"].is_null());
    EXPECT_TRUE(doc["bootstrap"]["statistics"][0]["population"].is_null());
}

} // namespace
