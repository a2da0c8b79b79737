// Arbitrary bytes as a data file on disk, analysed twice: once read by the sequential reader
// and once by the parallel reader with blocks of a few bytes (so that block boundaries fall
// everywhere), with the records kept between the passes or read twice. Both must end the
// same way: the same report to the byte, or the same message.
#include "analysis/AnalysisRun.h"
#include "datafile/DataFileReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

std::string outcome(const tavrik::DataSet& dataSet,
                    unsigned threads,
                    std::size_t blockBytes,
                    std::uint64_t budget)
{
    tavrik::RunInput input;
    input.dataSet = dataSet;
    input.selection.popSelected.assign(static_cast<std::size_t>(dataSet.popCount), true);
    input.selection.varSelected.assign(static_cast<std::size_t>(dataSet.varCount), true);
    input.threads = threads;
    input.readBlockBytes = blockBytes;
    input.memoryBudget = budget;
    tavrik::NullProgress quiet;
    const auto run = tavrik::runAnalysis(input, tavrik::fixedUtcClock(0), quiet);
    if (!run) {
        return "error " + std::to_string(static_cast<int>(run.error().kind)) + ": " +
               run.error().message;
    }
    return run->report + run->matrixFile;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        ("tavrik-reader-paths-" + std::to_string(getpid()) + ".tvk");
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr) {
            return 0;
        }
        const bool written = std::fwrite(data, 1, size, f) == size;
        if (std::fclose(f) != 0 || !written) {
            return 0;
        }
    }
    const auto dataSet = tavrik::loadDataSet(path);
    if (!dataSet || dataSet->popCount < 2 || dataSet->varCount < 1 || dataSet->popCount > 50 ||
        dataSet->varCount > 50) {
        return 0;
    }
    const std::size_t block = 1 + size % 23;
    const std::string sequential = outcome(*dataSet, 1, 0, 0);
    if (outcome(*dataSet, 3, block, 0) != sequential ||
        outcome(*dataSet, 2, block, std::uint64_t{1} << 20) != sequential) {
        __builtin_trap();
    }
    return 0;
}
