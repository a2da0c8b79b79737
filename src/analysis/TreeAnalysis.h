// The tree of a finished run's populations, and the support of its splits among the trees of
// the bootstrap's replicates.
#pragma once

#include "analysis/Bootstrap.h"
#include "analysis/NeighborJoining.h"
#include "state/ProgramState.h"
#include "state/Result.h"

#include <optional>
#include <string>

namespace tavrik {

struct TreeRun
{
    std::string matrixName; // "D-square" or "Scaled D-square"
    Tree tree;              // inner nodes carry their support after a bootstrap
    std::optional<Tree> consensus;
    std::size_t replicates = 0; // replicate trees counted
    std::size_t leftOut = 0;    // replicates without a tree (failed, or distances not finite)
};

// The neighbor-joining tree of the run's D-square matrix (scaled: of its scaled D-square),
// bias-corrected when the run was. With a bootstrap (of the unscaled matrix only), each
// replicate's D-square gives a replicate tree: the support of every split, and the
// majority-rule consensus. Replicates go in index order, so the result does not depend on the
// threads the bootstrap used.
[[nodiscard]] Result<TreeRun> treeOfRun(const AnalysisResults& results,
                                        bool scaled,
                                        const BootstrapResult* bootstrap,
                                        bool biasCorrection);

} // namespace tavrik
