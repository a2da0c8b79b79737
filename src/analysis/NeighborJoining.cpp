#include "analysis/NeighborJoining.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace tavrik {

namespace {

double distance(const Matrix& d, std::size_t i, std::size_t j)
{
    return i < j ? d(i, j) : d(j, i);
}

// The working matrix of the clusters, by slot; a joined pair's first slot holds the new cluster.
struct Clusters
{
    Matrix d;
    std::vector<std::size_t> active; // slots, in the order of the clusters
    std::vector<std::size_t> node;   // the tree node each slot stands for
};

// S(i): the distances from cluster a to every other, summed in the order of the clusters.
std::vector<double> rowSums(const Clusters& c)
{
    std::vector<double> sums(c.active.size(), 0.0);
    for (std::size_t a = 0; a < c.active.size(); ++a) {
        for (std::size_t b = 0; b < c.active.size(); ++b) {
            if (a != b) {
                sums[a] += c.d(c.active[a], c.active[b]);
            }
        }
    }
    return sums;
}

// The positions (a, b), a < b, of the pair with the least Q; the first in (a, b) order on a tie.
std::pair<std::size_t, std::size_t> closestPair(const Clusters& c, const std::vector<double>& sums)
{
    const double r2 = static_cast<double>(c.active.size()) - 2.0;
    std::pair<std::size_t, std::size_t> best{0, 1};
    double least = std::numeric_limits<double>::infinity();
    for (std::size_t a = 0; a + 1 < c.active.size(); ++a) {
        for (std::size_t b = a + 1; b < c.active.size(); ++b) {
            const double q = r2 * c.d(c.active[a], c.active[b]) - sums[a] - sums[b];
            if (q < least) {
                least = q;
                best = {a, b};
            }
        }
    }
    return best;
}

void joinPair(
    Clusters& c, Tree& tree, std::size_t a, std::size_t b, const std::vector<double>& sums)
{
    const std::size_t i = c.active[a];
    const std::size_t j = c.active[b];
    const double dij = c.d(i, j);
    const double r2 = static_cast<double>(c.active.size()) - 2.0;
    TreeNode joined;
    joined.children = {c.node[i], c.node[j]};
    tree.nodes[c.node[i]].length = dij / 2.0 + (sums[a] - sums[b]) / (2.0 * r2);
    tree.nodes[c.node[j]].length = dij - tree.nodes[c.node[i]].length;
    for (const std::size_t k : c.active) {
        if (k != i && k != j) {
            const double dk = (c.d(i, k) + c.d(j, k) - dij) / 2.0;
            c.d(i, k) = dk;
            c.d(k, i) = dk;
        }
    }
    c.node[i] = tree.nodes.size();
    tree.nodes.push_back(std::move(joined));
    c.active.erase(c.active.begin() + static_cast<std::ptrdiff_t>(b));
}

// The last three clusters as the three branches of the base.
void joinBase(const Clusters& c, Tree& tree)
{
    const std::size_t a = c.active[0];
    const std::size_t b = c.active[1];
    const std::size_t e = c.active[2];
    const double ab = c.d(a, b);
    const double ae = c.d(a, e);
    const double be = c.d(b, e);
    tree.nodes[c.node[a]].length = (ab + ae - be) / 2.0;
    tree.nodes[c.node[b]].length = (ab + be - ae) / 2.0;
    tree.nodes[c.node[e]].length = (ae + be - ab) / 2.0;
    TreeNode base;
    base.children = {c.node[a], c.node[b], c.node[e]};
    base.length = 0.0;
    tree.base = tree.nodes.size();
    tree.nodes.push_back(std::move(base));
}

Split emptySplit(std::size_t populations)
{
    return Split((populations + 63) / 64, 0);
}

void addTip(Split& s, std::size_t tip)
{
    s[tip / 64] |= std::uint64_t{1} << (tip % 64);
}

bool holds(const Split& s, std::size_t tip)
{
    return (s[tip / 64] >> (tip % 64) & 1u) != 0;
}

std::size_t countOf(const Split& s)
{
    std::size_t n = 0;
    for (const std::uint64_t w : s) {
        n += static_cast<std::size_t>(std::popcount(w));
    }
    return n;
}

// The side without population 0.
Split normalised(Split s, std::size_t populations)
{
    if (holds(s, 0)) {
        for (std::size_t w = 0; w < s.size(); ++w) {
            s[w] = ~s[w];
        }
        if (populations % 64 != 0) {
            s.back() &= (std::uint64_t{1} << (populations % 64)) - 1;
        }
    }
    return s;
}

// The populations below every node, children before parents.
std::vector<Split> tipsBelow(const Tree& tree)
{
    const std::size_t n = tree.names.size();
    std::vector<Split> below(tree.nodes.size(), emptySplit(n));
    std::vector<std::pair<std::size_t, bool>> stack{{tree.base, false}};
    while (!stack.empty()) {
        auto [node, expanded] = stack.back();
        stack.pop_back();
        const TreeNode& t = tree.nodes[node];
        if (t.isTip()) {
            addTip(below[node], t.tip);
        } else if (!expanded) {
            stack.push_back({node, true});
            for (const std::size_t child : t.children) {
                stack.push_back({child, false});
            }
        } else {
            for (const std::size_t child : t.children) {
                for (std::size_t w = 0; w < below[node].size(); ++w) {
                    below[node][w] |= below[child][w];
                }
            }
        }
    }
    return below;
}

double percent(std::size_t count, std::size_t of)
{
    return of == 0 ? std::numeric_limits<double>::quiet_NaN()
                   : 100.0 * static_cast<double>(count) / static_cast<double>(of);
}

} // namespace

Result<Tree> neighborJoiningTree(const Matrix& d, const std::vector<std::string>& names)
{
    const std::size_t n = names.size();
    if (n < 2 || d.rows() != n || d.cols() != n) {
        return Error::analysis("A tree needs the distances between at least two populations.");
    }
    Clusters c{Matrix(n, n), {}, {}};
    Tree tree;
    tree.names = names;
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = i + 1; j < n; ++j) {
            const double v = distance(d, i, j);
            if (!std::isfinite(v)) {
                return Error::analysis("The tree cannot be built: the distance between " +
                                       names[i] + " and " + names[j] + " is not a finite number.");
            }
            c.d(i, j) = v;
            c.d(j, i) = v;
        }
        c.active.push_back(i);
        c.node.push_back(i);
        TreeNode tip;
        tip.tip = i;
        tree.nodes.push_back(tip);
    }
    if (n == 2) {
        TreeNode base;
        base.children = {0, 1};
        tree.nodes[0].length = c.d(0, 1) / 2.0;
        tree.nodes[1].length = c.d(0, 1) - tree.nodes[0].length;
        tree.base = 2;
        tree.nodes.push_back(std::move(base));
        return tree;
    }
    while (c.active.size() > 3) {
        const std::vector<double> sums = rowSums(c);
        const auto [a, b] = closestPair(c, sums);
        joinPair(c, tree, a, b, sums);
    }
    joinBase(c, tree);
    return tree;
}

std::vector<TreeSplit> innerSplits(const Tree& tree)
{
    const std::size_t n = tree.names.size();
    const std::vector<Split> below = tipsBelow(tree);
    std::vector<TreeSplit> splits;
    for (std::size_t node = 0; node < tree.nodes.size(); ++node) {
        if (node == tree.base || tree.nodes[node].isTip()) {
            continue;
        }
        const std::size_t count = countOf(below[node]);
        if (count >= 2 && n - count >= 2) {
            splits.push_back({normalised(below[node], n), node});
        }
    }
    return splits;
}

std::vector<std::size_t> splitMembers(const Split& split, std::size_t populations)
{
    std::vector<std::size_t> members;
    for (std::size_t i = 0; i < populations; ++i) {
        if (holds(split, i)) {
            members.push_back(i);
        }
    }
    return members;
}

SplitTally::SplitTally(const Tree& reference)
    : m_reference(reference)
    , m_referenceSplits(innerSplits(reference))
{}

void SplitTally::add(const Tree& replicate)
{
    for (TreeSplit& s : innerSplits(replicate)) {
        ++m_counts[std::move(s.split)];
    }
    ++m_replicates;
}

Tree SplitTally::supported() const
{
    Tree tree = m_reference;
    for (const TreeSplit& s : m_referenceSplits) {
        const auto found = m_counts.find(s.split);
        tree.nodes[s.node].support =
            percent(found == m_counts.end() ? 0 : found->second, m_replicates);
    }
    return tree;
}

Tree SplitTally::consensus() const
{
    const std::size_t n = m_reference.names.size();
    std::vector<std::pair<Split, std::size_t>> majority;
    for (const auto& [split, count] : m_counts) {
        if (2 * count > m_replicates) {
            majority.emplace_back(split, count);
        }
    }
    // Larger clusters first, so that each one's parent is already made when it comes.
    std::stable_sort(majority.begin(), majority.end(), [](const auto& x, const auto& y) {
        return countOf(x.first) > countOf(y.first);
    });
    Tree tree;
    tree.names = m_reference.names;
    for (std::size_t i = 0; i < n; ++i) {
        TreeNode tip;
        tip.tip = i;
        tip.hasLength = false;
        tree.nodes.push_back(tip);
    }
    tree.base = n;
    TreeNode base;
    base.hasLength = false;
    tree.nodes.push_back(base);
    // The smallest cluster made so far that holds every population of s, or the base.
    auto parentOf = [&](const Split& s) {
        for (std::size_t m = majority.size(); m-- > 0;) {
            const std::size_t node = n + 1 + m;
            if (node >= tree.nodes.size()) {
                continue;
            }
            bool inside = true;
            for (std::size_t w = 0; w < s.size() && inside; ++w) {
                inside = (s[w] & ~majority[m].first[w]) == 0;
            }
            if (inside) {
                return node;
            }
        }
        return tree.base;
    };
    for (const auto& [split, count] : majority) {
        TreeNode inner;
        inner.hasLength = false;
        inner.support = percent(count, m_replicates);
        const std::size_t parent = parentOf(split);
        tree.nodes.push_back(std::move(inner));
        tree.nodes[parent].children.push_back(tree.nodes.size() - 1);
    }
    for (std::size_t i = 0; i < n; ++i) {
        Split one = emptySplit(n);
        addTip(one, i);
        tree.nodes[parentOf(one)].children.push_back(i);
    }
    // Children in the order of their first population, so the text reads in population order.
    const std::vector<Split> below = tipsBelow(tree);
    std::vector<std::size_t> first(tree.nodes.size());
    for (std::size_t node = 0; node < first.size(); ++node) {
        first[node] = splitMembers(below[node], n).front();
    }
    for (TreeNode& node : tree.nodes) {
        std::sort(node.children.begin(), node.children.end(), [&](std::size_t x, std::size_t y) {
            return first[x] < first[y];
        });
    }
    return tree;
}

} // namespace tavrik
