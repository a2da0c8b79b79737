// Full record scan of a large data file: MB/s of file text and the peak resident memory,
// which must not grow with the file. The file is $TAVRIK_BENCH_TVK, or one generated once
// in the temporary folder (about 300 MB).
#include "datafile/DataFileReader.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <sys/resource.h>
#include <vector>

#include "generate_tvk.h"

namespace {

constexpr long long generatedBytes = 300'000'000;

std::filesystem::path benchFile()
{
    if (const char* given = std::getenv("TAVRIK_BENCH_TVK")) {
        return given;
    }
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / "tavrik-reader-bench.tvk";
    std::error_code ec;
    if (std::filesystem::file_size(path, ec) >= static_cast<std::uintmax_t>(generatedBytes) &&
        !ec) {
        return path;
    }
    tavrik::gen::TvkShape shape;
    shape.pops = 12;
    shape.vars = 6;
    shape.seed = 20;
    shape.targetBytes = generatedBytes;
    tavrik::gen::TvkWritten written;
    std::string error;
    if (!tavrik::gen::writeTvk(shape, path, written, error)) {
        return {};
    }
    return path;
}

double peakRssMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0; // ru_maxrss is in KiB on Linux
}

void recordScan(benchmark::State& state)
{
    const std::filesystem::path path = benchFile();
    std::error_code ec;
    const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(path, ec));
    if (path.empty() || ec) {
        state.SkipWithError("no data file");
        return;
    }
    long records = 0;
    for (auto _ : state) {
        auto reader = tavrik::DataFileReader::open(path);
        if (!reader) {
            state.SkipWithError(reader.error().message.c_str());
            return;
        }
        auto header = reader->readHeader();
        if (!header) {
            state.SkipWithError(header.error().message.c_str());
            return;
        }
        std::vector<double> values(static_cast<std::size_t>(header->varCount));
        double code = 0.0;
        double sum = 0.0;
        for (;;) {
            auto more = reader->nextRecord(code, values);
            if (!more) {
                state.SkipWithError(more.error().message.c_str());
                return;
            }
            if (!*more) {
                break;
            }
            sum += values[0];
        }
        benchmark::DoNotOptimize(sum);
        records = reader->recordsRead();
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["MB_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()) *
                                                        static_cast<double>(bytes) / 1e6,
                                                    benchmark::Counter::kIsRate);
    state.counters["records"] = static_cast<double>(records);
    state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
    state.counters["peak_rss_MiB"] = peakRssMiB();
}

BENCHMARK(recordScan)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
