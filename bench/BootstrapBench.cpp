// Wall time of the bootstrap over a data file, every population and variable chosen, default
// settings: the run, holding the chosen records in memory, the replicates, and the
// neighbor-joining trees of the replicates with the support of the run's tree.
//   BootstrapBench FILE [REPLICATES [THREADS]]   (defaults 1000 and every core)
#include "analysis/AnalysisRun.h"
#include "analysis/Bootstrap.h"
#include "analysis/TreeAnalysis.h"
#include "datafile/DataFileReader.h"

#include <chrono>
#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: BootstrapBench FILE [REPLICATES [THREADS]]\n");
        return 2;
    }
    const std::string path = argv[1];
    tavrik::BootstrapSettings settings;
    settings.replicates = argc > 2 ? std::stoul(argv[2]) : 1000;
    settings.threads = argc > 3 ? static_cast<unsigned>(std::stoul(argv[3])) : 0;

    auto ds = tavrik::loadDataSet(path);
    if (!ds) {
        std::fprintf(stderr, "%s\n", ds.error().message.c_str());
        return 1;
    }
    tavrik::RunInput input;
    input.dataSet = *ds;
    input.selection.popSelected.assign(static_cast<std::size_t>(ds->popCount), true);
    input.selection.varSelected.assign(static_cast<std::size_t>(ds->varCount), true);

    using Clock = std::chrono::steady_clock;
    const auto seconds = [](Clock::time_point a, Clock::time_point b) {
        return std::chrono::duration<double>(b - a).count();
    };
    const auto t0 = Clock::now();
    tavrik::NullProgress quiet;
    auto run = tavrik::runAnalysis(input, tavrik::fixedUtcClock(0), quiet);
    if (!run) {
        std::fprintf(stderr, "%s\n", run.error().message.c_str());
        return 1;
    }
    const auto t1 = Clock::now();
    auto records =
        tavrik::loadChosenRecords(input.dataSet, run->basis, tavrik::bootstrapMemoryBudget);
    if (!records) {
        std::fprintf(stderr, "%s\n", records.error().message.c_str());
        return 1;
    }
    const auto t2 = Clock::now();
    auto boot = tavrik::runBootstrap(*records, run->basis, settings);
    if (!boot) {
        std::fprintf(stderr, "%s\n", boot.error().message.c_str());
        return 1;
    }
    const auto t3 = Clock::now();
    auto trees = tavrik::treeOfRun(run->results, false, &*boot, run->basis.biasCorrection);
    if (!trees) {
        std::fprintf(stderr, "%s\n", trees.error().message.c_str());
        return 1;
    }
    const auto t4 = Clock::now();
    std::printf("run %.4f s, records in memory %.4f s, %zu replicates %.4f s (%zu used), "
                "trees %.4f s\n",
                seconds(t0, t1),
                seconds(t1, t2),
                settings.replicates,
                seconds(t2, t3),
                boot->used,
                seconds(t3, t4));
    return 0;
}
