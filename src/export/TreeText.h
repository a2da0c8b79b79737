// The tree of the populations as text: Newick for other programs, and the report's lines on the
// support of its splits.
#pragma once

#include "analysis/NeighborJoining.h"
#include "analysis/TreeAnalysis.h"

#include <string>

namespace tavrik {

// The tree in Newick form from its base (a trichotomy: the tree is unrooted), ending with ";"
// and a line end. Names are quoted with ' (a ' inside doubled) when they are empty or hold a
// blank, a control character or one of ( ) [ ] ' : ; , _; lengths in the shortest form that
// reads back to the same double; an inner node's support, where known, as its label.
std::string newickText(const Tree& tree);

// A support percent as the texts show it: rounded to one decimal, without a trailing ".0".
std::string supportText(double percent);

// One line per inner branch of the tree: the populations on its smaller side (the side without
// the first population on a tie), then its support, e.g. "  North, East: 87.5 %", CR LF lines
// as the report's.
std::string splitSupportLines(const Tree& tree);

// The report's section on the tree after a bootstrap: what the tree is of, how many replicate
// trees were counted and left out, and the support of every split.
std::string treeSupportText(const TreeRun& run);

} // namespace tavrik
