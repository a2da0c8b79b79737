// The tree chart's geometry: rooting, every tip labelled once, nothing drawn over anything
// else, negative lengths drawn as zero, the scale bar, and a canvas that grows with the tips.
#include "chart/TreeChartLayout.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "ChartTestSupport.h"

namespace tavrik {
namespace {

using test::fixedWidth;
using test::tolerance;

Tree treeOf(const Matrix& d, std::vector<std::string> names)
{
    Result<Tree> tree = neighborJoiningTree(d, names);
    EXPECT_TRUE(tree.ok());
    return tree.ok() ? *tree : Tree{};
}

// Distances of populations spread along a line, so that the tree is a long ladder.
Matrix ladder(std::size_t n)
{
    Matrix d(n, n);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            d(i, j) = std::abs(static_cast<double>(i) - static_cast<double>(j)) +
                      (i == j ? 0.0 : 0.5 + 0.01 * static_cast<double>((i * 7 + j * 7) % 5));
        }
    }
    return d;
}

bool crosses(const TreeSegment& s, const ChartRect& box)
{
    return std::min(s.from.x, s.to.x) < box.right() && std::max(s.from.x, s.to.x) > box.left &&
           std::min(s.from.y, s.to.y) < box.bottom() && std::max(s.from.y, s.to.y) > box.top;
}

// Every population labelled exactly once at its tip, and no text on another text or a branch.
void expectReadable(const TreeChartLayout& l, const Tree& tree)
{
    ASSERT_EQ(l.labels.size(), tree.names.size());
    std::vector<ChartLabel> texts = l.labels;
    texts.insert(texts.end(), l.supports.begin(), l.supports.end());
    for (std::size_t i = 0; i < tree.names.size(); ++i) {
        EXPECT_EQ(std::count_if(l.labels.begin(),
                                l.labels.end(),
                                [&](const ChartLabel& x) { return x.text == tree.names[i]; }),
                  1)
            << tree.names[i];
        EXPECT_NEAR(l.labels[i].box.left, l.tips[i].x + l.style.labelGap, tolerance);
    }
    const ChartRect canvas{0.0, 0.0, l.canvas.width, l.canvas.height};
    for (std::size_t a = 0; a < texts.size(); ++a) {
        EXPECT_TRUE(canvas.contains(texts[a].box)) << texts[a].text;
        for (std::size_t b = a + 1; b < texts.size(); ++b) {
            EXPECT_EQ(overlapArea(texts[a].box, texts[b].box), 0.0)
                << texts[a].text << " / " << texts[b].text;
        }
        for (const TreeSegment& s : l.branches) {
            EXPECT_FALSE(crosses(s, texts[a].box)) << texts[a].text;
        }
    }
}

TEST(TreeChartLayout, RootsAtTheMidpointOfTheLongestPath)
{
    // ((A:1,B:1):4,C:1,D:1): the longest path, A to C, is 6; its midpoint halves the inner
    // branch, so every tip ends at the same distance from the root.
    const Matrix d = [] {
        Matrix m(4, 4);
        const double v[4][4] = {{0, 2, 6, 6}, {2, 0, 6, 6}, {6, 6, 0, 2}, {6, 6, 2, 0}};
        for (std::size_t i = 0; i < 4; ++i) {
            for (std::size_t j = 0; j < 4; ++j) {
                m(i, j) = v[i][j];
            }
        }
        return m;
    }();
    TreeChartInput in{treeOf(d, {"A", "B", "C", "D"}), std::nullopt, "Tree", "D-square"};
    in.tree.nodes[4].support = 75.0; // the (A, B) node
    const TreeChartLayout l = layoutTreeChart(in, fixedWidth);
    expectReadable(l, in.tree);
    for (const ChartPoint& tip : l.tips) {
        EXPECT_NEAR(tip.x, l.frame.left + 3.0 * l.scale, tolerance);
    }
    // the root sits inside the inner branch: its two halves carry the support once
    EXPECT_EQ(l.supports.size() + l.supportsLeftOut, 1u);
    // scale bar: 1, 2 or 5 times a power of ten at least a fifth of the depth, drawn to scale
    EXPECT_DOUBLE_EQ(l.barLength, 1.0);
    EXPECT_NEAR(l.bar.to.x - l.bar.from.x, l.scale, tolerance);
    EXPECT_EQ(l.barLabel.text, "1 D-square");

    // rooted on C: C hangs first from the node it joins, the others after it
    in.rootTip = 2;
    const TreeChartLayout onC = layoutTreeChart(in, fixedWidth);
    expectReadable(onC, in.tree);
    EXPECT_LT(onC.tips[2].y, onC.tips[0].y);
    EXPECT_NEAR(onC.tips[2].x, onC.frame.left + 1.0 * onC.scale, tolerance);
}

TEST(TreeChartLayout, DrawsANegativeLengthAsZero)
{
    Matrix d(4, 4);
    const double v[4][4] = {{0, 1, 5, 5}, {1, 0, 5, 5}, {5, 5, 0, 12}, {5, 5, 12, 0}};
    for (std::size_t i = 0; i < 4; ++i) {
        for (std::size_t j = 0; j < 4; ++j) {
            d(i, j) = v[i][j];
        }
    }
    // ((A:-0.25,C:5.25):0.75,B:-0.25,D:5.25)
    const TreeChartInput in{treeOf(d, {"A", "B", "C", "D"}), 0, "", "D-square"};
    const TreeChartLayout l = layoutTreeChart(in, fixedWidth);
    expectReadable(l, in.tree);
    EXPECT_NEAR(l.tips[0].x, l.frame.left, tolerance); // A is the root's own place
    for (const TreeSegment& s : l.branches) {
        EXPECT_GE(s.to.x, s.from.x - tolerance);
    }
}

TEST(TreeChartLayout, GrowsTheCanvasForManyPopulationsAndKeepsEveryTextClear)
{
    std::vector<std::string> names;
    for (std::size_t i = 0; i < 60; ++i) {
        names.push_back("Population " + std::to_string(i + 1));
    }
    TreeChartInput in{treeOf(ladder(60), names), std::nullopt, "Tree", "D-square"};
    for (TreeNode& node : in.tree.nodes) {
        node.support = node.isTip() ? std::nan("") : 87.5;
    }
    const TreeChartLayout l = layoutTreeChart(in, fixedWidth);
    EXPECT_GT(l.canvas.height, in.canvas.height);
    expectReadable(l, in.tree);
    EXPECT_EQ(l.supports.size() + l.supportsLeftOut, 57u); // the inner branches of 60 tips
    EXPECT_GT(l.supports.size(), 0u);
}

} // namespace
} // namespace tavrik
