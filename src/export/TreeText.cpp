#include "export/TreeText.h"

#include "export/ResamplingText.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace tavrik {

namespace {

bool needsQuotes(std::string_view name)
{
    if (name.empty()) {
        return true;
    }
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= ' ' || c == 0x7f ||
            std::string_view("()[]':;,_").find(ch) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

std::string newickName(const std::string& name)
{
    if (!needsQuotes(name)) {
        return name;
    }
    std::string quoted = "'";
    for (const char c : name) {
        quoted += c;
        if (c == '\'') {
            quoted += '\'';
        }
    }
    return quoted + "'";
}

void appendNode(std::string& out, const Tree& tree, std::size_t node)
{
    const TreeNode& t = tree.nodes[node];
    if (t.isTip()) {
        out += newickName(tree.names[t.tip]);
    } else {
        out += '(';
        for (std::size_t c = 0; c < t.children.size(); ++c) {
            if (c > 0) {
                out += ',';
            }
            appendNode(out, tree, t.children[c]);
        }
        out += ')';
        if (!std::isnan(t.support)) {
            out += supportText(t.support);
        }
    }
    if (node != tree.base && t.hasLength) {
        out += ':' + exactNumberText(t.length);
    }
}

} // namespace

std::string newickText(const Tree& tree)
{
    std::string out;
    appendNode(out, tree, tree.base);
    return out + ";\n";
}

std::string supportText(double percent)
{
    return exactNumberText(std::round(percent * 10.0) / 10.0);
}

std::string splitSupportLines(const Tree& tree)
{
    const std::size_t n = tree.names.size();
    std::string out;
    for (const TreeSplit& s : innerSplits(tree)) {
        std::vector<std::size_t> side = splitMembers(s.split, n);
        if (2 * side.size() > n) {
            std::vector<std::size_t> rest;
            for (std::size_t i = 0; i < n; ++i) {
                if (std::find(side.begin(), side.end(), i) == side.end()) {
                    rest.push_back(i);
                }
            }
            side = rest;
        }
        out += "  ";
        for (std::size_t k = 0; k < side.size(); ++k) {
            out += (k > 0 ? ", " : "") + tree.names[side[k]];
        }
        const double support = tree.nodes[s.node].support;
        out += ": " + (std::isnan(support) ? std::string("-") : supportText(support)) + " %\r\n";
    }
    return out;
}

std::string treeSupportText(const TreeRun& run)
{
    std::string out = "\r\nSupport of the splits of the neighbor-joining tree of " +
                      run.matrixName + ": " + std::to_string(run.replicates) +
                      " replicate trees; " + std::to_string(run.leftOut) +
                      " replicates left out\r\n";
    const std::string lines = splitSupportLines(run.tree);
    return out + (lines.empty() ? "  The tree has no inner branch.\r\n" : lines);
}

} // namespace tavrik
