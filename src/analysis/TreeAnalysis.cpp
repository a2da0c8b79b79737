#include "analysis/TreeAnalysis.h"

namespace tavrik {

Result<TreeRun> treeOfRun(const AnalysisResults& results,
                          bool scaled,
                          const BootstrapResult* bootstrap,
                          bool biasCorrection)
{
    TreeRun run;
    run.matrixName = scaled ? "Scaled D-square" : "D-square";
    Result<Tree> tree = neighborJoiningTree(scaled ? results.scaledDSquare : results.dSquare,
                                            results.populationNames);
    if (!tree) {
        return tree.error();
    }
    run.tree = std::move(*tree);
    if (bootstrap == nullptr || scaled) {
        return run;
    }
    const std::size_t g = results.populationNames.size();
    SplitTally tally(run.tree);
    for (const std::vector<double>& values : bootstrap->replicateValues) {
        Result<Tree> replicate =
            values.empty() ? Result<Tree>(Error::analysis("the replicate failed"))
                           : neighborJoiningTree(replicateDSquare(values, g, biasCorrection),
                                                 results.populationNames);
        if (replicate) {
            tally.add(*replicate);
        } else {
            ++run.leftOut;
        }
    }
    run.replicates = tally.replicates();
    if (run.replicates > 0) {
        run.tree = tally.supported();
        run.consensus = tally.consensus();
    }
    return run;
}

} // namespace tavrik
