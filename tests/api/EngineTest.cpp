// The engine for data in memory against tavrik-batch on a .tvk file of the same values: the
// report with the bootstrap's, tree's and Mantel test's texts, the listing and the results
// document byte for byte; and the table's faults, each named.
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

#include "BatchHarness.h"
#include "tavrik/tavrik.h"

namespace tavrik {
namespace {

using test::Outcome;
using test::readFile;
using test::writeFile;

constexpr double missing = std::numeric_limits<double>::quiet_NaN();

// Four populations in an order of their own, records interleaved, a missing value, a name
// with a blank and census sizes that differ.
TableData fourValleys()
{
    TableData t;
    t.title = "Four valleys";
    t.populations = {"Upper Glen", "Brisk", "Aven", "Corran"};
    t.census = {1200, 300.5, 800, 450};
    t.variableNames = {"Length", "Breadth", "Height"};
    t.variables.resize(3);
    const char* const pops[] = {"Aven", "Brisk", "Corran", "Upper Glen"};
    for (int r = 0; r < 48; ++r) {
        const int p = (r * 7) % 4;
        t.population.push_back(pops[p]);
        t.variables[0].push_back(170.0 + p * 1.7 + (r % 5) * 0.9 + (r % 3) * 0.31);
        t.variables[1].push_back(r == 13 ? missing : 60.0 + p * 0.4 + (r % 7) * 0.6);
        t.variables[2].push_back(120.0 - p * 1.1 + (r % 4) * 0.8 + (r % 6) * 0.23);
    }
    return t;
}

class Engine : public test::BatchProgram
{
};

TEST_F(Engine, GivesWhatTheBatchProgramGivesForTheSameValues)
{
    TableData table = fourValleys();
    Result<std::string> text = tableFileText(table);
    ASSERT_TRUE(text.ok()) << text.error().message;
    const std::filesystem::path file = m_dir / "valleys.tvk";
    writeFile(file, *text);
    writeFile(m_dir / "geo.csv",
              "Population,Latitude,Longitude\nAven,57.1,-4.2\nBrisk,56.8,-3.9\n"
              "Corran,57.6,-5.1\nUpper Glen,57.9,-4.6\n");
    const Outcome batch = run({file.string(),
                               "--heritability",
                               "0.7",
                               "--scaled",
                               "--population",
                               "Aven",
                               "--population",
                               "Brisk",
                               "--population",
                               "Upper Glen",
                               "--population",
                               "Corran",
                               "--heritability-sweep",
                               "0.5:1:0.25",
                               "--sweep-output",
                               "sweep.csv",
                               "--bootstrap",
                               "40",
                               "--seed",
                               "9",
                               "--tree",
                               "tree.nwk",
                               "--mantel",
                               "geo.csv",
                               "--report",
                               "report.txt",
                               "--listing",
                               "listing.txt",
                               "--json",
                               "run.json"});
    ASSERT_EQ(batch.status, 0) << batch.err;

    table.name = file.string();
    EngineChoice choice;
    choice.heritability = 0.7;
    choice.scaled = true;
    choice.populations = {"Corran", "Aven", "Brisk", "Upper Glen"}; // file order decides
    Result<EngineRun> run = runTable(table, choice, fixedUtcClock(1000000000));
    ASSERT_TRUE(run.ok()) << run.error().message;
    ASSERT_TRUE(run->scaled());
    Result<SweepTable> sweep = sweepOf(*run, "0.5:1:0.25");
    Result<BootstrapResult> boot = bootstrapOf(*run, 40, 9, IntervalKind::Bca);
    ASSERT_TRUE(sweep.ok() && boot.ok());
    Result<TreeRun> tree = treeOf(*run, false, &*boot);
    MantelSettings mantel;
    mantel.seed = 9;
    Result<MantelResult> test = mantelOf(*run, (m_dir / "geo.csv").string(), "", mantel);
    ASSERT_TRUE(tree.ok() && test.ok());

    EXPECT_EQ(run->report() + bootstrapSummaryText(*boot) + treeSupportText(*tree) +
                  mantelSummaryText(*test),
              readFile(m_dir / "report.txt"));
    EXPECT_EQ(run->listing(), readFile(m_dir / "listing.txt"));
    EXPECT_EQ(newickText(tree->tree), readFile(m_dir / "tree.nwk"));
    EXPECT_EQ(engineJson(*run, &*sweep, &*boot, &*test), readFile(m_dir / "run.json"));

    // the same file read by the engine
    Result<EngineRun> fromFile = runFile(file.string(), choice, fixedUtcClock(1000000000));
    ASSERT_TRUE(fromFile.ok());
    EXPECT_EQ(fromFile->report(), run->report());

    // and read back into a table that runs to the same document
    Result<TableData> read = readTable(file.string());
    ASSERT_TRUE(read.ok()) << read.error().message;
    EXPECT_EQ(read->populations, table.populations);
    EXPECT_EQ(read->population, table.population);
    EXPECT_TRUE(std::isnan(read->variables[1][13]));
    Result<EngineRun> again = runTable(*read, choice, fixedUtcClock(1000000000));
    ASSERT_TRUE(again.ok()) << again.error().message;
    EXPECT_EQ(engineJson(*again), engineJson(*run));
}

TEST_F(Engine, ReadsADataFileIntoATableThatRunsAsTheFileDoes)
{
    TableData table = fourValleys();
    table.variables[2][20] = missing;
    Result<std::string> text = tableFileText(table);
    ASSERT_TRUE(text.ok()) << text.error().message;
    // a record of a code no population carries is left out, as a run leaves it out
    const std::filesystem::path file = m_dir / "valleys.tvk";
    writeFile(file, *text + "9, 1, 2, 3\r\n");

    Result<TableData> read = readTable(file.string());
    ASSERT_TRUE(read.ok()) << read.error().message;
    EXPECT_EQ(read->name, file.string());
    EXPECT_EQ(read->title, "Four valleys");
    EXPECT_EQ(read->populations, table.populations);
    EXPECT_EQ(read->census, table.census);
    EXPECT_EQ(read->population, table.population);
    ASSERT_EQ(read->variables.size(), 3u);
    EXPECT_EQ(read->variables[0], table.variables[0]);
    EXPECT_TRUE(std::isnan(read->variables[1][13]));
    EXPECT_TRUE(std::isnan(read->variables[2][20]));

    EngineChoice choice;
    choice.scaled = true;
    Result<EngineRun> fromTable = runTable(*read, choice, fixedUtcClock(0));
    Result<EngineRun> fromFile = runFile(file.string(), choice, fixedUtcClock(0));
    ASSERT_TRUE(fromTable.ok() && fromFile.ok());
    EXPECT_EQ(engineJson(*fromTable), engineJson(*fromFile));
    EXPECT_EQ(fromTable->report(), fromFile->report());

    Result<TableData> absent = readTable((m_dir / "absent.tvk").string());
    ASSERT_FALSE(absent.ok());
    EXPECT_NE(absent.error().message.find("absent.tvk"), std::string::npos);
    writeFile(m_dir / "bad.tvk", "\"Bad\"\n1, 1\nA, 1, 10\nX\n1, 1.5\n1, l.5\n");
    Result<TableData> bad = readTable((m_dir / "bad.tvk").string());
    ASSERT_FALSE(bad.ok());
    EXPECT_NE(bad.error().message.find("line 6"), std::string::npos) << bad.error().message;
}

TEST_F(Engine, NamesWhatIsWrongWithATable)
{
    const auto refused = [](const TableData& t, const EngineChoice& c, const std::string& says) {
        Result<EngineRun> run = runTable(t, c, fixedUtcClock(0));
        ASSERT_FALSE(run.ok()) << says;
        EXPECT_NE(run.error().message.find(says), std::string::npos) << run.error().message;
    };
    TableData t = fourValleys();
    t.census.pop_back();
    refused(t, {}, "there are 4 populations and 3 census sizes");
    t = fourValleys();
    t.variables[2].pop_back();
    refused(t, {}, "the variable \"Height\" has 47 values for 48 records");
    t = fourValleys();
    t.population[5] = "Elsewhere";
    refused(t, {}, "record 6 belongs to the population \"Elsewhere\", which the order");
    t = fourValleys();
    t.variables[0][3] = std::numeric_limits<double>::infinity();
    refused(t, {}, "record 4 holds an infinite value");
    t = fourValleys();
    EngineChoice c;
    c.variables = {"Weight"};
    refused(t, c, "no variable named \"Weight\"");
    c = {};
    c.heritability = 0.0;
    refused(t, c, "the heritability must be above 0 and at most 1");
    // equal sizes when none are given, and the order of first appearance
    t.census.clear();
    t.populations.clear();
    Result<EngineRun> run = runTable(t, {}, fixedUtcClock(0));
    ASSERT_TRUE(run.ok()) << run.error().message;
    EXPECT_FALSE(run->scaled());
    EXPECT_EQ(run->results().populationNames,
              (std::vector<std::string>{"Aven", "Upper Glen", "Corran", "Brisk"}));
}

} // namespace
} // namespace tavrik
