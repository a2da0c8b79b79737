// Whole analysis runs compared byte for byte with golden outputs, and the kept results to
// the last bit. The expected files in
// tests/data/golden come from an independent Python model of a run
// (tools/reference/tavrik_reference.py), never from this program; each NAME.case file names
// the data file and the settings, and tools/reference/regenerate_golden.sh rewrites the
// expected NAME.report.txt, NAME.matrices.txt, NAME.screen.txt and NAME.flags, and for a
// case marked "exports 1" NAME.exports.txt, every export file of the run.

#include "analysis/AnalysisRun.h"
#include "analysis/ProgressSink.h"
#include "datafile/DataFileReader.h"
#include "export/MatrixExport.h"
#include "export/ResultCsv.h"
#include "report/Clock.h"

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iomanip>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string goldenDir = std::string(TAVRIK_TEST_DATA) + "/golden/";

std::string readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

struct GoldenCase
{
    std::string dataFile; // file name inside the golden folder
    float heritability = 1.0f;
    bool biasCorrection = true;
    bool scaledAnalysis = false;
    bool showMatrices = false;
    long long epoch = 0;
    std::vector<std::string> populations; // empty: all
    std::vector<std::string> variables;   // empty: all
    bool exports = false;                 // NAME.exports.txt holds the export files
};

// "key value" per line; population and variable lines repeat.
GoldenCase readCase(const std::string& name)
{
    GoldenCase c;
    std::istringstream in(readBytes(goldenDir + name + ".case"));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const auto blank = line.find(' ');
        if (blank == std::string::npos) {
            continue;
        }
        const std::string key = line.substr(0, blank);
        const std::string value = line.substr(blank + 1);
        if (key == "data") {
            c.dataFile = value;
        } else if (key == "heritability") {
            // correctly rounded decimal to float, as the model does
            std::from_chars(value.data(), value.data() + value.size(), c.heritability);
        } else if (key == "bias") {
            c.biasCorrection = std::stoi(value) != 0;
        } else if (key == "scaled") {
            c.scaledAnalysis = std::stoi(value) != 0;
        } else if (key == "show-matrices") {
            c.showMatrices = std::stoi(value) != 0;
        } else if (key == "epoch") {
            c.epoch = std::stoll(value);
        } else if (key == "population") {
            c.populations.push_back(value);
        } else if (key == "variable") {
            c.variables.push_back(value);
        } else if (key == "exports") {
            c.exports = value == "1";
        }
    }
    return c;
}

std::vector<bool> chooseByName(const std::vector<std::string>& fileNames,
                               const std::vector<std::string>& chosen)
{
    std::vector<bool> flags(fileNames.size(), false);
    for (std::size_t i = 0; i < fileNames.size(); ++i) {
        bool take = chosen.empty();
        for (const auto& name : chosen) {
            take = take || name == fileNames[i];
        }
        flags[i] = take;
    }
    return flags;
}

// The golden files were written with the data file's bare name; this run gives the full path.
std::string withDataPath(std::string text, const std::string& fileName, const std::string& path)
{
    const std::string from = "Data file = " + fileName + "\r\n";
    const auto at = text.find(from);
    if (at != std::string::npos) {
        text.replace(at, from.size(), "Data file = " + path + "\r\n");
    }
    return text;
}

// NAME.values: blocks of "name rows cols" followed by rows x cols doubles, each written as
// the shortest text that reads back as the same double.
std::map<std::string, tavrik::Matrix> readValues(const std::string& path)
{
    std::map<std::string, tavrik::Matrix> blocks;
    std::istringstream in(readBytes(path));
    std::string name;
    std::size_t rows = 0;
    std::size_t cols = 0;
    while (in >> name >> rows >> cols) {
        tavrik::Matrix m(rows, cols);
        for (std::size_t r = 0; r < rows; ++r) {
            for (std::size_t c = 0; c < cols; ++c) {
                std::string token;
                in >> token;
                m(r, c) = std::strtod(token.c_str(), nullptr);
            }
        }
        blocks[name] = m;
    }
    return blocks;
}

tavrik::Matrix column(const std::vector<double>& v)
{
    tavrik::Matrix m(v.size(), 1);
    for (std::size_t i = 0; i < v.size(); ++i) {
        m(i, 0) = v[i];
    }
    return m;
}

// Compares the expected block with the upper-left corner of the actual matrix (the R matrix
// may be kept in the larger work area of the inversion), to the last bit.
testing::AssertionResult
sameBits(const std::string& what, const tavrik::Matrix& expected, const tavrik::Matrix& actual)
{
    if (actual.rows() < expected.rows() || actual.cols() < expected.cols()) {
        return testing::AssertionFailure()
               << what << " is " << actual.rows() << " x " << actual.cols()
               << ", expected at least " << expected.rows() << " x " << expected.cols();
    }
    for (std::size_t r = 0; r < expected.rows(); ++r) {
        for (std::size_t c = 0; c < expected.cols(); ++c) {
            if (expected(r, c) != actual(r, c)) {
                return testing::AssertionFailure()
                       << what << "(" << r + 1 << "," << c + 1 << "): expected "
                       << std::setprecision(17) << expected(r, c) << ", got " << actual(r, c);
            }
        }
    }
    return testing::AssertionSuccess();
}

// Every export file of a run, each after a "### label" line, in the order the model writes
// them.
std::string exportsText(const tavrik::RunOutput& run)
{
    using tavrik::MatrixKind;
    using tavrik::MatrixLayout;
    const tavrik::AnalysisResults& res = run.results;
    std::string out;
    auto add = [&out](const std::string& label, const std::string& text) {
        out += "### " + label + "\n" + text;
    };
    add("pcScores.csv", tavrik::scoresCsvText(res.pcScores, res.populationNames));
    add("scaledPcScores.csv", tavrik::scoresCsvText(res.scaledPcScores, res.populationNames));
    add("vt.csv", tavrik::velbrandTorvaneCsvText(res));
    std::vector<std::pair<std::string, MatrixKind>> kinds{{"R", MatrixKind::R},
                                                          {"DSquare", MatrixKind::DSquare}};
    if (run.matrixCount == 2) {
        kinds.emplace_back("ScaledR", MatrixKind::ScaledR);
        kinds.emplace_back("ScaledDSquare", MatrixKind::ScaledDSquare);
    }
    const std::vector<std::pair<std::string, MatrixLayout>> layouts{
        {"list-space", MatrixLayout::ListSpace},
        {"list-comma", MatrixLayout::ListComma},
        {"square-space", MatrixLayout::SquareSpace},
        {"square-comma", MatrixLayout::SquareComma},
        {"ntsys", MatrixLayout::NtSys}};
    for (const auto& [kindName, kind] : kinds) {
        for (const auto& [layoutName, layout] : layouts) {
            add(kindName + "." + layoutName, tavrik::matrixFileText(res, kind, layout));
        }
    }
    return out;
}

tavrik::RunInput runInput(const GoldenCase& c, const tavrik::DataSet& loaded)
{
    tavrik::RunInput input;
    input.dataSet = loaded;
    input.settings.heritability = c.heritability;
    input.settings.biasCorrection = c.biasCorrection;
    input.settings.scaledAnalysis = c.scaledAnalysis;
    input.settings.showMatrices = c.showMatrices;
    input.selection.popSelected = chooseByName(input.dataSet.popNames, c.populations);
    input.selection.varSelected = chooseByName(input.dataSet.varNames, c.variables);
    return input;
}

class GoldenReport : public testing::TestWithParam<const char*>
{
};

TEST_P(GoldenReport, RunMatchesTheIndependentModelByteForByte)
{
    const std::string name = GetParam();
    const GoldenCase c = readCase(name);
    ASSERT_FALSE(c.dataFile.empty()) << name << ".case names no data file";
    const std::string dataPath = goldenDir + c.dataFile;

    auto loaded = tavrik::loadDataSet(dataPath);
    ASSERT_TRUE(loaded.ok()) << loaded.error().message;

    const tavrik::RunInput input = runInput(c, loaded.value());
    ASSERT_EQ(static_cast<std::size_t>(input.selection.selPopCount()),
              c.populations.empty() ? input.dataSet.popNames.size() : c.populations.size());

    tavrik::NullProgress progress;
    auto run = tavrik::runAnalysis(input, tavrik::fixedUtcClock(c.epoch), progress);
    ASSERT_TRUE(run.ok()) << run.error().message;

    // File Open stores the full path it was given, in its own normal form.
    const std::string& shownPath = input.dataSet.dataPath;
    const std::string report =
        withDataPath(readBytes(goldenDir + name + ".report.txt"), c.dataFile, shownPath);
    const std::string screen =
        withDataPath(readBytes(goldenDir + name + ".screen.txt"), c.dataFile, shownPath);
    // byte for byte; a failure shows the lines that differ
    EXPECT_EQ(run->report, report);
    EXPECT_EQ(run->matrixFile, readBytes(goldenDir + name + ".matrices.txt"));
    EXPECT_EQ(run->screenText, screen);

    const auto values = readValues(goldenDir + name + ".values");
    const auto& results = run->results;
    const std::map<std::string, tavrik::Matrix> actual{
        {"rMatrix", results.rMatrix},
        {"dSquare", results.dSquare},
        {"scaledRMatrix", results.scaledRMatrix},
        {"scaledDSquare", results.scaledDSquare},
        {"pcScores", results.pcScores},
        {"scaledPcScores", results.scaledPcScores},
        {"observedVariance", column(results.observedVariance)},
        {"expectedVariance", column(results.expectedVariance)},
        {"residualVariance", column(results.residualVariance)}};
    for (const auto& [block, expected] : values) {
        ASSERT_TRUE(actual.contains(block)) << "unknown block " << block << " in " << name;
        EXPECT_TRUE(sameBits(block, expected, actual.at(block)));
    }
    EXPECT_EQ(values.size(), run->matrixCount == 2 ? 9u : 7u);

    std::ostringstream flags;
    flags << "matrixCount " << run->matrixCount << "\noutputFitsScreen " << run->outputFitsScreen
          << "\nshowMatrices " << run->showMatrices << "\nwarnOutputTooLarge "
          << (run->warnOutputTooLarge ? 1 : 0) << "\n";
    EXPECT_EQ(readBytes(goldenDir + name + ".flags"), flags.str());

    if (c.exports) {
        EXPECT_EQ(exportsText(*run), readBytes(goldenDir + name + ".exports.txt"));
    }
}

// small_scaled: unequal sizes, bias correction and the scaled pass, listing on screen.
// no_bias: correction off, scaled pass (negative scaled distances keep their sign).
// equal_sizes: the short populations table; the scaled pass is asked for but not possible.
// subset: four of six populations sharing one size, two of four variables, records of
//   unchosen and unknown populations, blank-separated and split records.
// six_variables: heritability 0.55 as a float, a variable list on two lines.
// long_names: names of 15 and 16 characters and a non-ASCII name against the tab stops.
// realistic: six populations, 21 to 58 records each, a size with a fraction (850.5).
// too_large: report and listing over the screen limit while matrices on screen are asked for.
// two_populations: g = 2 (one pair, the second axis without an eigenvalue, so 0), an
//   afternoon report time, a negative expected variance.
// one_variable: t = 1 (a 1 x 1 inverse); the second eigenvalue is rounding noise that is not
//   listed, so its share is .0 % whatever its sign and the second coordinate is 0.
// plot_cells: populations sharing plot cells, and one marking the centroid.
// odd_sizes: census sizes 0.4 (an empty size field), 2.5 (a half), 1500.7 and 98765.4 read
//   as floats, and weights near zero in the scaled pass.
// identical_pair: two populations with identical records and the bias correction; the solver
//   leaves a negative eigenvalue between two positive ones, and the report lists them sorted.
// large_offsets: values near 10^6 and 1.2 x 10^6 with four decimals and a spread of 0.01; the
//   total variance keeps its digits, and the second axis has no eigenvalue (coordinates 0).
// quoted_names: names holding a comma, blanks, a tab and a double quote, with every export
//   file compared (quoted fields, NT-SYS labels with underscores).
// screen_limit: report and listing 23736 bytes with the bare file name; the screen rule's
//   own test moves the data file so that the pair is exactly 23999 and 24000 bytes.
INSTANTIATE_TEST_SUITE_P(Cases,
                         GoldenReport,
                         testing::Values("small_scaled",
                                         "no_bias",
                                         "equal_sizes",
                                         "subset",
                                         "six_variables",
                                         "long_names",
                                         "realistic",
                                         "too_large",
                                         "two_populations",
                                         "one_variable",
                                         "plot_cells",
                                         "odd_sizes",
                                         "identical_pair",
                                         "large_offsets",
                                         "quoted_names",
                                         "screen_limit"),
                         [](const testing::TestParamInfo<const char*>& param) {
                             return std::string(param.param);
                         });

// The screen rule through whole runs: the screen_limit data file is copied into a folder
// whose path makes the report (which names the data file) and the listing together exactly
// the size wanted. The sizes come from the model's golden files, not from the program.
class ScreenLimitRun : public testing::Test
{
protected:
    void SetUp() override
    {
        if (std::filesystem::path::preferred_separator == '\\') {
            GTEST_SKIP() << "Windows paths stop at 260 characters, and these runs need longer";
        }
        m_root = std::filesystem::weakly_canonical(testing::TempDir()) /
                 (std::string("screen-limit-") +
                  testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_root);
        std::filesystem::create_directories(m_root);
    }
    void TearDown() override
    {
        if (!m_root.empty()) {
            std::filesystem::remove_all(m_root);
        }
    }

    // Runs screen_limit.tvk from a path that brings report plus listing to total bytes.
    tavrik::Result<tavrik::RunOutput> runAtSize(std::size_t total, std::int16_t showMatrices)
    {
        GoldenCase c = readCase("screen_limit");
        c.showMatrices = showMatrices;
        const std::string report = readBytes(goldenDir + "screen_limit.report.txt");
        const std::string listing = readBytes(goldenDir + "screen_limit.matrices.txt");
        // the golden report names the data file by its bare name
        const std::size_t withoutPath = report.size() + listing.size() - c.dataFile.size();
        const std::filesystem::path root = m_root / std::to_string(++m_runs);
        EXPECT_LT(withoutPath + root.string().size() + 2 + c.dataFile.size(), total);
        const std::size_t pathLength = total - withoutPath;
        // one folder whose name pads the path: root / padding / screen_limit.tvk
        const std::size_t padding = pathLength - root.string().size() - 2 - c.dataFile.size();
        const std::filesystem::path folder = root / std::string(padding, 'p');
        std::filesystem::create_directories(folder);
        const std::filesystem::path data = folder / c.dataFile;
        std::filesystem::copy_file(goldenDir + c.dataFile, data);
        EXPECT_EQ(data.string().size(), pathLength);

        auto loaded = tavrik::loadDataSet(data.string());
        if (!loaded) {
            return loaded.error();
        }
        EXPECT_EQ(loaded->dataPath, data.string());
        tavrik::NullProgress progress;
        auto run = tavrik::runAnalysis(
            runInput(c, loaded.value()), tavrik::fixedUtcClock(c.epoch), progress);
        if (run) {
            EXPECT_EQ(run->report.size() + run->matrixFile.size(), total);
        }
        return run;
    }

    std::filesystem::path m_root;
    int m_runs = 0;
};

TEST_F(ScreenLimitRun, ExactlyTheLimitIsTooLargeAndOnlyARequestedListingWarns)
{
    const struct
    {
        std::size_t total;
        std::int16_t asked; // matrices on screen requested
        std::int16_t fits;
        std::int16_t shown;
        bool warns;
    } cases[] = {{23999, 1, 1, 1, false},
                 {23999, 0, 1, 0, false},
                 {24000, 1, 0, 0, true},
                 {24000, 0, 0, 0, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.total) + " bytes, matrices on screen " +
                     std::to_string(c.asked));
        const auto result = runAtSize(c.total, c.asked);
        ASSERT_TRUE(result.ok()) << result.error().message;
        const tavrik::RunOutput& run = result.value();
        EXPECT_EQ(run.outputFitsScreen, c.fits);
        EXPECT_EQ(run.showMatrices, c.shown);
        EXPECT_EQ(run.warnOutputTooLarge, c.warns);
        EXPECT_EQ(run.screenText, c.shown == 1 ? run.report + run.matrixFile : run.report);
    }
}

} // namespace
