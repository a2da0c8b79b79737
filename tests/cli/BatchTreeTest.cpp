// The tree of the populations from a whole batch run: its branches against Debian's neighbor on
// the same matrix, the bootstrap's support the same for any number of threads, the consensus,
// and the options that need one another.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>

#include "BatchHarness.h"

namespace {

using namespace tavrik::test;

class BatchTree : public BatchProgram
{
};

// A Newick tree's branches: the tips below each branch (the side without the first tip in
// name order) and its length. Quotes are dropped and blanks read as '_', as neighbor writes
// names.
using Branches = std::map<std::set<std::string>, double>;

struct NewickReader
{
    const std::string& text;
    std::size_t at = 0;
    std::vector<std::pair<std::set<std::string>, double>> found;

    std::string name()
    {
        std::string n;
        if (text[at] == '\'') {
            for (++at; !(text[at] == '\'' && text[at + 1] != '\''); ++at) {
                n += text[at] == ' ' ? '_' : text[at];
                at += text[at] == '\'' ? 1 : 0;
            }
            ++at;
            return n;
        }
        while (std::string_view("(),:;").find(text[at]) == std::string_view::npos) {
            n += text[at] == '\n' ? "" : std::string(1, text[at]);
            ++at;
        }
        return n;
    }

    std::set<std::string> node()
    {
        std::set<std::string> tips;
        if (text[at] == '(') {
            do {
                ++at;
                const std::set<std::string> below = node();
                tips.insert(below.begin(), below.end());
            } while (text[at] == ',');
            ++at;   // ')'
            name(); // a support label
        } else {
            tips.insert(name());
        }
        if (text[at] == ':') {
            ++at;
            std::size_t used = 0;
            const double length = std::stod(text.substr(at), &used);
            at += used;
            found.emplace_back(tips, length);
        }
        return tips;
    }
};

Branches branchesOf(const std::string& newick)
{
    NewickReader reader{newick, 0, {}};
    const std::set<std::string> all = reader.node();
    Branches branches;
    for (auto [tips, length] : reader.found) {
        if (tips.contains(*all.begin())) {
            std::set<std::string> other;
            std::set_difference(all.begin(),
                                all.end(),
                                tips.begin(),
                                tips.end(),
                                std::inserter(other, other.end()));
            tips = other;
        }
        branches[tips] = length;
    }
    return branches;
}

TEST_F(BatchTree, BranchesAgreeWithNeighborOnTheSameMatrix)
{
    const std::string neighbor = TAVRIK_NEIGHBOR;
    // islands.tvk: five names that fit phylip's ten bytes, one with a blank
    const Outcome o = run({std::string(TAVRIK_EXAMPLES) + "/islands.tvk",
                           "--report",
                           "r.txt",
                           "--tree",
                           "t.nwk",
                           "--matrix",
                           "d2:phylip:infile"});
    ASSERT_EQ(o.status, 0) << o.err;
    const Branches ours = branchesOf(readFile(m_dir / "t.nwk"));
    EXPECT_EQ(ours.size(), 7u); // 2 x 5 - 3 branches of an unrooted tree
    if (!neighbor.empty()) {
        const std::string command =
            "cd '" + m_dir.string() + "' && printf 'Y\\n' | " + neighbor + " >log 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << readFile(m_dir / "log");
        // neighbor reads the distances to six decimals and prints five
        const Branches theirs = branchesOf(readFile(m_dir / "outtree"));
        ASSERT_EQ(theirs.size(), ours.size());
        for (const auto& [tips, length] : theirs) {
            ASSERT_EQ(ours.count(tips), 1u) << *tips.begin();
            EXPECT_NEAR(ours.at(tips), length, 2e-5) << *tips.begin();
        }
    }
    if (neighbor.empty()) {
        GTEST_SKIP() << "phylip's neighbor is not installed: the tree was checked, not compared";
    }
}

TEST_F(BatchTree, SupportAndConsensusDoNotDependOnTheThreads)
{
    const std::string highland = std::string(TAVRIK_EXAMPLES) + "/highland.tvk";
    std::string first;
    for (const char* threads : {"1", "3"}) {
        const Outcome o = run({highland,
                               "--report",
                               "r.txt",
                               "--bootstrap",
                               "60",
                               "--tree",
                               "t.nwk",
                               "--consensus",
                               "c.nwk",
                               "--threads",
                               threads});
        ASSERT_EQ(o.status, 0) << o.err;
        const std::string all =
            readFile(m_dir / "t.nwk") + readFile(m_dir / "c.nwk") + readFile(m_dir / "r.txt");
        EXPECT_TRUE(first.empty() || all == first);
        first = all;
    }
    const std::string report = readFile(m_dir / "r.txt");
    const std::size_t section = report.find(
        "\r\nSupport of the splits of the neighbor-joining tree of D-square: 60 replicate trees; "
        "0 replicates left out\r\n");
    ASSERT_NE(section, std::string::npos);
    // three inner branches among six populations, each a line with its percent
    EXPECT_EQ(std::count(report.begin() + static_cast<std::ptrdiff_t>(section), report.end(), '%'),
              3);
    // every inner branch of the tree carries its support; the consensus has no lengths
    const std::string tree = readFile(m_dir / "t.nwk");
    EXPECT_EQ(std::count(tree.begin(), tree.end(), ')'), 4);
    const std::string consensus = readFile(m_dir / "c.nwk");
    EXPECT_EQ(consensus.find(':'), std::string::npos);
    EXPECT_TRUE(consensus.ends_with(");\n"));
}

TEST_F(BatchTree, RefusesOptionsThatNeedOthers)
{
    expectRefused("@cli_three_pops.tvk --report r.txt --tree-matrix d2",
                  2,
                  "--tree-matrix chooses what --tree is made of, and --tree FILE is missing");
    expectRefused("@cli_three_pops.tvk --report r.txt --tree t.nwk --consensus c.nwk",
                  2,
                  "--consensus needs --bootstrap N");
    expectRefused("@cli_three_pops.tvk --report r.txt --bootstrap 10 --consensus c.nwk",
                  2,
                  "--consensus needs --tree FILE");
    expectRefused("@cli_three_pops.tvk --report r.txt --tree t.nwk --tree-matrix scaled-d2",
                  2,
                  "--tree-matrix scaled-d2: the scaled matrices are computed only when --scaled");
    expectRefused("@cli_three_pops.tvk --scaled --report r.txt --tree t.nwk --tree-matrix "
                  "scaled-d2 --bootstrap 10",
                  2,
                  "the bootstrap resamples the D-square matrix only");
    expectRefused("@cli_equal_sizes.tvk --scaled --report r.txt --tree t.nwk --tree-matrix "
                  "scaled-d2",
                  2,
                  "every population of the data file has the same census size");
}

} // namespace
