// The tree of the chosen populations from a distance matrix by neighbor-joining, the splits of
// its internal branches, their support among replicate trees, and the majority-rule consensus
// of those trees.
#pragma once

#include "state/Matrix.h"
#include "state/Result.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <vector>

namespace tavrik {

// One node of a tree written from its base: a tip names a population; an inner node has two or
// more children (the base three, or two in a tree of two populations).
struct TreeNode
{
    std::vector<std::size_t> children; // empty for a tip
    std::size_t tip = 0;               // the population (index into the tree's names) of a tip
    double length = 0.0;               // of the branch to the parent; the base has none
    bool hasLength = true;             // false in a consensus tree, which has no lengths
    // Percent of replicate trees holding this node's split, NaN when not known (a tip, the
    // base, a tree without replicates).
    double support = std::numeric_limits<double>::quiet_NaN();
    bool isTip() const { return children.empty(); }
};

struct Tree
{
    std::vector<std::string> names; // the populations, in their order
    std::vector<TreeNode> nodes;    // nodes[base] is the base
    std::size_t base = 0;
};

// Neighbor-joining (Saitou and Nei 1987) in the Studier-Keppler form. At each step with r
// clusters the pair minimising Q(i,j) = (r - 2) d(i,j) - S(i) - S(j) is joined, ties going to
// the lower (i, j) in the order of the clusters, where a new cluster takes the place of the
// first of its pair. The lengths are those of the method, negative ones included. Three
// clusters end as the three branches of the base; two populations give one branch, split
// evenly between the two tips. d is g x g, symmetric; only i < j is read.
[[nodiscard]] Result<Tree> neighborJoiningTree(const Matrix& d,
                                               const std::vector<std::string>& names);

// A split of the populations by an inner branch: the populations on the side that does not
// hold population 0, as one bit each (bit i of word i / 64).
using Split = std::vector<std::uint64_t>;

// The splits of the tree's inner branches (both sides of at least two populations), each with
// the index of the node below the branch.
struct TreeSplit
{
    Split split;
    std::size_t node = 0;
};
std::vector<TreeSplit> innerSplits(const Tree& tree);

// The populations of a split, in their order.
std::vector<std::size_t> splitMembers(const Split& split, std::size_t populations);

// Counts, over replicate trees of the same populations, how many hold each split of a tree.
class SplitTally
{
public:
    explicit SplitTally(const Tree& reference);
    // Adds one replicate tree (of the same populations in the same order).
    void add(const Tree& replicate);
    std::size_t replicates() const { return m_replicates; }
    // Sets each inner node's support of the reference tree to the percent of replicates that
    // hold its split; returns the reference so marked.
    Tree supported() const;
    // The majority-rule consensus: every split held by more than half of the replicates, the
    // node's support its percent; no lengths.
    Tree consensus() const;

private:
    Tree m_reference;
    std::vector<TreeSplit> m_referenceSplits;
    std::map<Split, std::size_t> m_counts; // every split any replicate held
    std::size_t m_replicates = 0;
};

} // namespace tavrik
