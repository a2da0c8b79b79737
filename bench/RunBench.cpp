// Whole analysis run over a data file, against two bare record scans of the same file: wall
// time and peak resident memory. Run each mode in its own process so the memory figures
// stay apart:
//   RunBench run FILE    every population and variable chosen, default settings
//   RunBench scan FILE   the reader alone, twice over the records
#include "analysis/AnalysisRun.h"
#include "datafile/DataFileReader.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <vector>

namespace {

double peakRssMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0; // KiB on Linux
}

int scanTwice(const std::string& path, long& records)
{
    for (int pass = 0; pass < 2; ++pass) {
        auto reader = tavrik::DataFileReader::open(path);
        if (!reader) {
            std::fprintf(stderr, "%s\n", reader.error().message.c_str());
            return 1;
        }
        auto header = reader->readHeader();
        if (!header) {
            std::fprintf(stderr, "%s\n", header.error().message.c_str());
            return 1;
        }
        std::vector<double> values(static_cast<std::size_t>(header->varCount));
        double code = 0;
        records = 0;
        for (;;) {
            auto more = reader->nextRecord(code, values);
            if (!more) {
                std::fprintf(stderr, "%s\n", more.error().message.c_str());
                return 1;
            }
            if (!*more) {
                break;
            }
            ++records;
        }
    }
    return 0;
}

int wholeRun(const std::string& path, long& reportBytes)
{
    auto ds = tavrik::loadDataSet(path);
    if (!ds) {
        std::fprintf(stderr, "%s\n", ds.error().message.c_str());
        return 1;
    }
    tavrik::RunInput in;
    in.dataSet = *ds;
    in.selection.popSelected.assign(static_cast<std::size_t>(ds->popCount), 1);
    in.selection.varSelected.assign(static_cast<std::size_t>(ds->varCount), 1);
    in.selection.selPopCount = ds->popCount;
    in.selection.selVarCount = ds->varCount;
    tavrik::NullProgress progress;
    auto out = tavrik::runAnalysis(in, tavrik::fixedUtcClock(0), progress);
    if (!out) {
        std::fprintf(stderr, "%s\n", out.error().message.c_str());
        return 1;
    }
    reportBytes = static_cast<long>(out->report.size());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: RunBench run|scan FILE\n", stderr);
        return 2;
    }
    const std::string_view mode = argv[1];
    const std::string path = argv[2];
    const auto start = std::chrono::steady_clock::now();
    long figure = 0;
    int status = 2;
    if (mode == "run") {
        status = wholeRun(path, figure);
    } else if (mode == "scan") {
        status = scanTwice(path, figure);
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (status == 0) {
        std::printf("%s %s: %.2f s, peak RSS %.1f MiB (%s %ld)\n",
                    std::string(mode).c_str(),
                    path.c_str(),
                    elapsed.count(),
                    peakRssMiB(),
                    mode == "run" ? "report bytes" : "records",
                    figure);
    }
    return status;
}
