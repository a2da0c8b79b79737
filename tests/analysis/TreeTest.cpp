// Neighbor-joining pinned by hand, the splits of a tree, their support among replicate trees,
// the majority-rule consensus, and the Newick text other programs read.
#include "analysis/NeighborJoining.h"
#include "export/TreeText.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <vector>

#include "RunTestSupport.h"

namespace tavrik {
namespace {

const auto square = test::fromRows;

Tree joined(const Matrix& d, const std::vector<std::string>& names)
{
    Result<Tree> tree = neighborJoiningTree(d, names);
    EXPECT_TRUE(tree.ok()) << (tree.ok() ? "" : tree.error().message);
    return tree.ok() ? *tree : Tree{};
}

TEST(NeighborJoining, JoinsAsTheMethodDoesByHand)
{
    // Five populations: (a, b) first, then a tie between (ab, c) and (d, e) that goes to the
    // pair met first; lengths 2, 3, 3, 4, 2, 2, 1, worked out by hand.
    const Matrix five = square(
        {{0, 5, 9, 9, 8}, {5, 0, 10, 10, 9}, {9, 10, 0, 8, 7}, {9, 10, 8, 0, 3}, {8, 9, 7, 3, 0}});
    EXPECT_EQ(newickText(joined(five, {"a", "b", "c", "d", "e"})),
              "(((a:2,b:3):3,c:4):2,d:2,e:1);\n");

    // Four populations that break the triangle inequality: four pairs tie at the least Q, the
    // first, (A, C), is joined, and two lengths come out negative and are kept as they are.
    const Matrix four = square({{0, 1, 5, 5}, {1, 0, 5, 5}, {5, 5, 0, 12}, {5, 5, 12, 0}});
    EXPECT_EQ(newickText(joined(four, {"A", "B", "C", "D"})),
              "((A:-0.25,C:5.25):0.75,B:-0.25,D:5.25);\n");

    // Three populations give the star, two one branch split evenly.
    const Matrix three = square({{0, 3, 4}, {3, 0, 5}, {4, 5, 0}});
    EXPECT_EQ(newickText(joined(three, {"A", "B", "C"})), "(A:1,B:2,C:3);\n");
    EXPECT_EQ(newickText(joined(square({{0, 3}, {3, 0}}), {"A", "B"})), "(A:1.5,B:1.5);\n");
}

TEST(NeighborJoining, RefusesWhatCannotMakeATree)
{
    EXPECT_FALSE(neighborJoiningTree(square({{0}}), {"A"}).ok());
    Matrix bad = square({{0, 1, 2}, {1, 0, 3}, {2, 3, 0}});
    bad(0, 2) = std::nan("");
    const Result<Tree> tree = neighborJoiningTree(bad, {"North", "South", "East"});
    ASSERT_FALSE(tree.ok());
    EXPECT_NE(tree.error().message.find("between North and East"), std::string::npos);
}

TEST(NewickText, QuotesNamesThatWouldNotReadBack)
{
    const Matrix three = square({{0, 1, 2}, {1, 0, 3}, {2, 3, 0}});
    EXPECT_EQ(newickText(joined(three, {"North Hills", "O'Neil", "a_b"})),
              "('North Hills':0,'O''Neil':1,'a_b':2);\n");
}

// Four populations whose tree has the one inner split {C, D} | {A, B}.
const Matrix pairsAbCd = square({{0, 2, 6, 6}, {2, 0, 6, 6}, {6, 6, 0, 2}, {6, 6, 2, 0}});
const Matrix pairsAcBd = square({{0, 6, 2, 6}, {6, 0, 6, 2}, {2, 6, 0, 6}, {6, 2, 6, 0}});
const std::vector<std::string> abcd{"A", "B", "C", "D"};

TEST(SplitSupport, CountsTheReplicatesThatHoldEachSplit)
{
    const Tree main = joined(pairsAbCd, abcd);
    const std::vector<TreeSplit> splits = innerSplits(main);
    ASSERT_EQ(splits.size(), 1u);
    EXPECT_EQ(splitMembers(splits[0].split, 4), (std::vector<std::size_t>{2, 3}));

    SplitTally tally(main);
    for (int r = 0; r < 3; ++r) {
        tally.add(joined(pairsAbCd, abcd));
    }
    tally.add(joined(pairsAcBd, abcd));
    const Tree supported = tally.supported();
    EXPECT_EQ(newickText(supported), "((A:1,B:1)75:4,C:1,D:1);\n");
    // two against two: the side without the first population is named
    EXPECT_EQ(splitSupportLines(supported), "  C, D: 75 %\r\n");
    EXPECT_EQ(newickText(tally.consensus()), "(A,B,(C,D)75);\n");
}

TEST(SplitSupport, ConsensusKeepsOnlyWhatMostReplicatesHold)
{
    // Six populations; two of three replicates hold (A, B) and (D, E, F) around (E, F), the third
    // joins (A, D) and (B, C) instead.
    const std::vector<std::string> names{"A", "B", "C", "D", "E", "F"};
    auto tree = [&](std::initializer_list<std::initializer_list<double>> rows) {
        return joined(square(rows), names);
    };
    const Tree nested = tree({{0, 2, 4, 8, 8, 8},
                              {2, 0, 4, 8, 8, 8},
                              {4, 4, 0, 8, 8, 8},
                              {8, 8, 8, 0, 4, 4},
                              {8, 8, 8, 4, 0, 2},
                              {8, 8, 8, 4, 2, 0}});
    const Tree other = tree({{0, 8, 8, 2, 8, 8},
                             {8, 0, 2, 8, 8, 8},
                             {8, 2, 0, 8, 8, 8},
                             {2, 8, 8, 0, 8, 8},
                             {8, 8, 8, 8, 0, 2},
                             {8, 8, 8, 8, 2, 0}});
    SplitTally tally(nested);
    tally.add(nested);
    tally.add(nested);
    tally.add(other);
    EXPECT_EQ(tally.replicates(), 3u);
    const std::string consensus = newickText(tally.consensus());
    EXPECT_EQ(consensus, "(A,B,(C,(D,(E,F)100)66.7)66.7);\n");
    EXPECT_EQ(splitSupportLines(tally.supported()),
              "  A, B: 66.7 %\r\n  D, E, F: 66.7 %\r\n  E, F: 100 %\r\n");
}

// tests/data/nj_reference.txt holds trees made by another implementation of the method (see
// tools/reference/tree_reference.R): every branch, as the populations below it, and its length.
// The same splits must come out, each with the same length up to rounding.
TEST(NeighborJoining, AgreesWithAnIndependentImplementation)
{
    std::ifstream in(std::string(TAVRIK_TEST_DATA) + "/nj_reference.txt");
    ASSERT_TRUE(in) << "nj_reference.txt";
    std::string line;
    std::vector<std::string> names;
    std::vector<std::vector<double>> rows;
    std::map<std::vector<std::size_t>, double> expected; // the side without the first population
    std::string name;
    int cases = 0;
    auto sideWithoutFirst = [&](std::vector<std::size_t> side) {
        if (!side.empty() && side.front() == 0) {
            std::vector<std::size_t> other;
            for (std::size_t i = 0; i < names.size(); ++i) {
                if (std::find(side.begin(), side.end(), i) == side.end()) {
                    other.push_back(i);
                }
            }
            side = other;
        }
        return side;
    };
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string word;
        words >> word;
        if (word == "case") {
            words >> name;
            names.clear();
            rows.clear();
            expected.clear();
        } else if (word == "names") {
            for (std::string n; words >> n;) {
                names.push_back(n);
            }
        } else if (word == "row") {
            rows.emplace_back();
            for (double v; words >> v;) {
                rows.back().push_back(v);
            }
        } else if (word == "branch") {
            double length = 0.0;
            words >> length;
            std::vector<std::size_t> below;
            for (std::string n; words >> n;) {
                below.push_back(static_cast<std::size_t>(std::find(names.begin(), names.end(), n) -
                                                         names.begin()));
            }
            std::sort(below.begin(), below.end());
            expected[sideWithoutFirst(below)] = length;
        } else if (word == "end") {
            ++cases;
            Matrix d(names.size(), names.size());
            for (std::size_t i = 0; i < names.size(); ++i) {
                for (std::size_t j = 0; j < names.size(); ++j) {
                    d(i, j) = rows[i][j];
                }
            }
            const Tree tree = joined(d, names);
            std::map<std::vector<std::size_t>, double> found;
            for (const TreeNode& node : tree.nodes) {
                if (node.isTip()) {
                    found[sideWithoutFirst({node.tip})] = node.length;
                }
            }
            for (const TreeSplit& s : innerSplits(tree)) {
                found[splitMembers(s.split, names.size())] = tree.nodes[s.node].length;
            }
            ASSERT_EQ(found.size(), expected.size()) << name;
            for (const auto& [side, length] : expected) {
                ASSERT_EQ(found.count(side), 1u) << name << ": a split the other tree has";
                EXPECT_NEAR(found[side], length, 1e-9 * (1.0 + std::abs(length))) << name;
            }
        }
    }
    EXPECT_EQ(cases, 5);
}

} // namespace
} // namespace tavrik
