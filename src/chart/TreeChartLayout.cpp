#include "chart/TreeChartLayout.h"

#include "chart/ChartAxes.h"
#include "export/TreeText.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tavrik {

namespace {

constexpr std::size_t none = std::numeric_limits<std::size_t>::max();

// The tree as an undirected graph, lengths below zero taken as zero.
struct Edge
{
    std::size_t to = 0;
    double length = 0.0;
};
using Graph = std::vector<std::vector<Edge>>;

Graph graphOf(const Tree& tree)
{
    Graph g(tree.nodes.size());
    for (std::size_t v = 0; v < tree.nodes.size(); ++v) {
        for (const std::size_t c : tree.nodes[v].children) {
            const double length = std::max(0.0, tree.nodes[c].length);
            g[v].push_back({c, length});
            g[c].push_back({v, length});
        }
    }
    return g;
}

// Distances and the way back from one node to every other.
struct Paths
{
    std::vector<double> distance;
    std::vector<std::size_t> previous;
};

Paths pathsFrom(const Graph& g, std::size_t from)
{
    Paths p{std::vector<double>(g.size(), 0.0), std::vector<std::size_t>(g.size(), none)};
    std::vector<std::size_t> stack{from};
    std::vector<bool> seen(g.size(), false);
    seen[from] = true;
    while (!stack.empty()) {
        const std::size_t v = stack.back();
        stack.pop_back();
        for (const Edge& e : g[v]) {
            if (!seen[e.to]) {
                seen[e.to] = true;
                p.distance[e.to] = p.distance[v] + e.length;
                p.previous[e.to] = v;
                stack.push_back(e.to);
            }
        }
    }
    return p;
}

// The tree hung from its root: children in drawing order, and each node's branch length.
struct Rooted
{
    std::vector<std::vector<std::size_t>> children;
    std::vector<double> length;
    std::vector<std::size_t> parent; // none for the root
    std::vector<std::size_t> tipOf;  // the population of a tip node, none elsewhere
    std::size_t root = 0;
};

// Hangs the graph from root (an extra node when the root splits a branch), each node's
// children being its other neighbours in the order of the graph.
Rooted hang(const Tree& tree, Graph g, std::size_t u, std::size_t v, double toU)
{
    Rooted r;
    std::size_t root = u;
    if (v != none) {
        // a root inside the branch u-v: a new node joined to both
        double uv = 0.0;
        for (auto* side : {&g[u], &g[v]}) {
            std::erase_if(*side, [&](const Edge& e) {
                const bool across = e.to == u || e.to == v;
                uv = across ? e.length : uv;
                return across;
            });
        }
        root = g.size();
        g.push_back({{u, toU}, {v, std::max(0.0, uv - toU)}});
        g[u].push_back({root, toU});
        g[v].push_back({root, std::max(0.0, uv - toU)});
    }
    r.root = root;
    r.children.assign(g.size(), {});
    r.length.assign(g.size(), 0.0);
    r.parent.assign(g.size(), none);
    r.tipOf.assign(g.size(), none);
    for (std::size_t n = 0; n < tree.nodes.size(); ++n) {
        if (tree.nodes[n].isTip()) {
            r.tipOf[n] = tree.nodes[n].tip;
        }
    }
    std::vector<std::pair<std::size_t, std::size_t>> stack{{root, none}};
    while (!stack.empty()) {
        const auto [node, parent] = stack.back();
        stack.pop_back();
        for (const Edge& e : g[node]) {
            if (e.to != parent) {
                r.children[node].push_back(e.to);
                r.length[e.to] = e.length;
                r.parent[e.to] = node;
                stack.push_back({e.to, node});
            }
        }
    }
    return r;
}

// The root at the midpoint of the longest path between two tips (the first such pair).
Rooted hangAtMidpoint(const Tree& tree, const Graph& g)
{
    std::size_t a = none;
    std::size_t b = none;
    double longest = -1.0;
    Paths fromA;
    for (std::size_t x = 0; x < tree.nodes.size(); ++x) {
        if (!tree.nodes[x].isTip()) {
            continue;
        }
        Paths p = pathsFrom(g, x);
        for (std::size_t y = x + 1; y < tree.nodes.size(); ++y) {
            if (tree.nodes[y].isTip() && p.distance[y] > longest) {
                longest = p.distance[y];
                a = x;
                b = y;
                fromA = p;
            }
        }
    }
    if (a == none || longest <= 0.0) {
        return hang(tree, g, tree.base, none, 0.0);
    }
    // walk back from b to the branch that holds the midpoint
    const double half = longest / 2.0;
    std::size_t v = b;
    while (fromA.previous[v] != none && fromA.distance[fromA.previous[v]] >= half) {
        v = fromA.previous[v];
    }
    const std::size_t u = fromA.previous[v];
    if (fromA.distance[v] == half || u == none) {
        return hang(tree, g, v, none, 0.0);
    }
    return hang(tree, g, u, v, half - fromA.distance[u]);
}

// Rooted on a population: the root is the node its tip hangs from, the tip drawn first.
Rooted hangOnTip(const Tree& tree, const Graph& g, std::size_t population)
{
    std::size_t tipNode = 0;
    while (tree.nodes[tipNode].isTip() ? tree.nodes[tipNode].tip != population : true) {
        ++tipNode;
    }
    const std::size_t at = g[tipNode].front().to;
    Rooted r = hang(tree, g, at, none, 0.0);
    auto& first = r.children[r.root];
    std::stable_partition(first.begin(), first.end(), [&](std::size_t c) { return c == tipNode; });
    return r;
}

// Each node's distance from the root and its row (tips 0, 1, ...; a node between its first
// and last child), in drawing order.
struct Placement
{
    std::vector<double> depth;
    std::vector<double> row;
    std::vector<std::size_t> order; // the nodes, parents before children
};

Placement place(const Rooted& r)
{
    Placement p{std::vector<double>(r.children.size(), 0.0),
                std::vector<double>(r.children.size(), 0.0),
                {}};
    double nextRow = 0.0;
    std::vector<std::pair<std::size_t, bool>> stack{{r.root, false}};
    while (!stack.empty()) {
        const auto [node, done] = stack.back();
        stack.pop_back();
        if (done) {
            const auto& kids = r.children[node];
            p.row[node] =
                kids.empty() ? p.row[node] : (p.row[kids.front()] + p.row[kids.back()]) / 2.0;
            continue;
        }
        p.order.push_back(node);
        if (r.children[node].empty()) {
            p.row[node] = nextRow;
            nextRow += 1.0;
        }
        stack.push_back({node, true});
        const auto& kids = r.children[node];
        for (auto c = kids.rbegin(); c != kids.rend(); ++c) {
            p.depth[*c] = p.depth[node] + r.length[*c];
            stack.push_back({*c, false});
        }
    }
    return p;
}

bool crosses(const TreeSegment& s, const ChartRect& box)
{
    const ChartRect span{std::min(s.from.x, s.to.x),
                         std::min(s.from.y, s.to.y),
                         std::abs(s.to.x - s.from.x),
                         std::abs(s.to.y - s.from.y)};
    return span.left < box.right() && span.right() > box.left && span.top < box.bottom() &&
           span.bottom() > box.top;
}

bool isFree(const ChartRect& box, const TreeChartLayout& layout)
{
    if (!layout.frame.contains(box)) {
        return false;
    }
    auto hits = [&](const ChartLabel& l) { return overlapArea(l.box, box) > 0.0; };
    return std::none_of(layout.labels.begin(), layout.labels.end(), hits) &&
           std::none_of(layout.supports.begin(), layout.supports.end(), hits) &&
           std::none_of(layout.branches.begin(), layout.branches.end(), [&](const TreeSegment& s) {
               return crosses(s, box);
           });
}

// The support of each branch of the tree at the lower end of the branch as drawn (the end away
// from the root); the halves of a branch split by the root show it once, at an inner node.
std::vector<double> supportsAsDrawn(const Tree& tree, const Rooted& r)
{
    std::vector<double> at(r.children.size(), std::numeric_limits<double>::quiet_NaN());
    for (std::size_t parent = 0; parent < tree.nodes.size(); ++parent) {
        for (const std::size_t child : tree.nodes[parent].children) {
            const double support = tree.nodes[child].support;
            if (r.parent[child] == parent ||
                (r.parent[parent] != child && !tree.nodes[child].isTip())) {
                at[child] = support;
            } else {
                at[parent] = support;
            }
        }
    }
    return at;
}

// Each support value just left of its node, above its branch, else below it; a value with no
// free place is left out and counted.
void placeSupports(TreeChartLayout& layout,
                   const std::vector<double>& support,
                   const Rooted& r,
                   const std::vector<ChartPoint>& at,
                   const TextMeasure& measure)
{
    const double gap = layout.style.labelGap;
    for (std::size_t node = 0; node < support.size(); ++node) {
        if (r.children[node].empty() || node == r.root || std::isnan(support[node])) {
            continue;
        }
        ChartLabel label;
        label.text = supportText(support[node]);
        const ChartSize s = measure(label.text, ChartFont::Tick);
        const double left = at[node].x - gap - s.width;
        bool placed = false;
        for (const double top : {at[node].y - gap / 2.0 - s.height, at[node].y + gap / 2.0}) {
            label.box = {left, top, s.width, s.height};
            if (!placed && isFree(label.box, layout)) {
                layout.supports.push_back(label);
                placed = true;
            }
        }
        layout.supportsLeftOut += placed ? 0 : 1;
    }
}

// Points per unit of distance so that every tip's label ends inside the frame's width.
double fittingScale(const std::vector<double>& depth,
                    const std::vector<double>& labelWidth,
                    double width,
                    double gap)
{
    double scale = std::numeric_limits<double>::infinity();
    for (std::size_t k = 0; k < depth.size(); ++k) {
        if (depth[k] > 0.0) {
            scale = std::min(scale, (width - gap - labelWidth[k]) / depth[k]);
        }
    }
    return std::isfinite(scale) ? std::max(scale, 0.0) : 0.0;
}

void placeScaleBar(TreeChartLayout& layout,
                   double maxDepth,
                   const std::string& unit,
                   const TextMeasure& measure)
{
    const double gap = layout.style.labelGap;
    const double y = layout.frame.bottom() + 3.0 * gap;
    layout.barLength = maxDepth > 0.0 && layout.scale > 0.0 ? niceStep(maxDepth / 5.0) : 0.0;
    const double x = layout.frame.left;
    layout.bar = {{x, y}, {x + layout.barLength * layout.scale, y}};
    layout.barLabel.text =
        layout.barLength > 0.0
            ? tickText(layout.barLength, tickDecimals(layout.barLength)) + " " + unit
            : unit;
    const ChartSize s = measure(layout.barLabel.text, ChartFont::Tick);
    layout.barLabel.box = {layout.bar.to.x + 2.0 * gap, y - s.height / 2.0, s.width, s.height};
}

} // namespace

TreeChartLayout
layoutTreeChart(const TreeChartInput& input, const TextMeasure& measure, const ChartStyle& style)
{
    TreeChartLayout layout;
    layout.style = style;
    layout.canvas = input.canvas;
    const Tree& tree = input.tree;
    const Graph g = graphOf(tree);
    const Rooted r = input.rootTip ? hangOnTip(tree, g, *input.rootTip) : hangAtMidpoint(tree, g);
    const Placement p = place(r);

    const double top = layOutTitle(layout, input.title, measure);
    // rows at least a label high and a gap apart; the canvas grows for many populations
    const std::size_t n = tree.names.size();
    const double labelHeight = measure("Ag", ChartFont::PointLabel).height;
    const double barRoom = 4.0 * style.labelGap + measure("0", ChartFont::Tick).height;
    const double available = input.canvas.height - top - style.margin - barRoom;
    const double rowHeight =
        std::max(labelHeight + style.labelGap, available / static_cast<double>(n));
    layout.canvas.height = std::max(
        input.canvas.height, top + rowHeight * static_cast<double>(n) + barRoom + style.margin);
    layout.frame = {style.margin,
                    top,
                    input.canvas.width - 2.0 * style.margin,
                    rowHeight * static_cast<double>(n)};

    std::vector<double> tipDepth(n, 0.0);
    std::vector<double> labelWidth(n, 0.0);
    std::vector<std::size_t> tipNode(n, 0);
    for (std::size_t node = 0; node < r.tipOf.size(); ++node) {
        if (r.tipOf[node] != none) {
            tipNode[r.tipOf[node]] = node;
            tipDepth[r.tipOf[node]] = p.depth[node];
            labelWidth[r.tipOf[node]] =
                measure(tree.names[r.tipOf[node]], ChartFont::PointLabel).width;
        }
    }
    layout.scale = fittingScale(tipDepth, labelWidth, layout.frame.width, style.labelGap);
    std::vector<ChartPoint> at(r.children.size());
    for (const std::size_t node : p.order) {
        at[node] = {layout.frame.left + p.depth[node] * layout.scale,
                    layout.frame.top + (p.row[node] + 0.5) * rowHeight};
    }
    for (const std::size_t node : p.order) {
        const auto& kids = r.children[node];
        if (!kids.empty()) {
            layout.branches.push_back(
                {{at[node].x, at[kids.front()].y}, {at[node].x, at[kids.back()].y}});
        }
        for (const std::size_t c : kids) {
            layout.branches.push_back({{at[node].x, at[c].y}, at[c]});
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        const ChartPoint tip = at[tipNode[i]];
        layout.tips.push_back(tip);
        const ChartSize s = measure(tree.names[i], ChartFont::PointLabel);
        layout.labels.push_back(
            {tree.names[i],
             {tip.x + style.labelGap, tip.y - s.height / 2.0, s.width, s.height},
             false});
    }
    placeSupports(layout, supportsAsDrawn(tree, r), r, at, measure);
    placeScaleBar(layout, *std::max_element(tipDepth.begin(), tipDepth.end()), input.unit, measure);
    return layout;
}

} // namespace tavrik
