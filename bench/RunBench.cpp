// One measurement of a data file per process, so that the peak resident memory of each stays
// apart; bench/speed.sh runs them interleaved and takes the medians. Prints
// "SECONDS PEAK_MIB FIGURE CPU_SECONDS".
//   RunBench f1 FILE        parse floor: std::from_chars over every field, one thread
//   RunBench fn FILE        the same split over every core
//   RunBench ff1 FILE       the floor with fast_float instead
//   RunBench m1 FILE        the f1 floor over a read-only mapping of the file instead of reads
//   RunBench mn FILE        the same split over every core
//   RunBench scan FILE N    one bare pass of the reader over the records, on N threads
//   RunBench run FILE N B   a whole analysis (every population and variable) on N threads
//                           with a memory budget of B bytes
#include "analysis/AnalysisRun.h"
#include "datafile/DataFileReader.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <fast_float/fast_float.h>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "ProcessUsage.h"

namespace {

using tavrik::bench::cpuSeconds;
using tavrik::bench::peakRssMiB;

bool isSeparator(char c)
{
    return c == ',' || c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isLineEnd(char c)
{
    return c == '\n' || c == '\r';
}

enum class Parser { FromChars, FastFloat };

// The sum of every field of [p, e), counted in fields: the bare parse, nothing checked.
double sumFields(const char* p, const char* const e, Parser parser, long& fields)
{
    double sum = 0.0;
    while (p < e) {
        while (p < e && isSeparator(*p)) {
            ++p;
        }
        const char* t = p;
        while (t < e && !isSeparator(*t)) {
            ++t;
        }
        if (t > p) {
            double v = 0.0;
            // the standard library's parser is the floor the reader is measured against
            if (parser == Parser::FastFloat) {
                fast_float::from_chars(p, t, v);
            } else {
                std::from_chars(p, t, v);
            }
            sum += v;
            ++fields;
        }
        p = t;
    }
    return sum;
}

// Parses every field of bytes [from, to) of the file, read 1 MiB at a time and cut after the
// last line end of each read; returns the sum of the values so nothing is optimised away.
double floorRange(int fd, off_t from, off_t to, Parser parser, long& fields)
{
    constexpr std::size_t chunk = std::size_t{1} << 20;
    std::vector<char> buf(chunk);
    double sum = 0.0;
    while (from < to) {
        const auto want = static_cast<std::size_t>(std::min<off_t>(to - from, chunk));
        const ssize_t got = pread(fd, buf.data(), want, from);
        if (got <= 0) {
            break;
        }
        std::size_t used = static_cast<std::size_t>(got);
        if (from + got < to) {
            while (used > 0 && !isLineEnd(buf[used - 1])) {
                --used;
            }
            if (used == 0) {
                used = static_cast<std::size_t>(got); // a line longer than a read
            }
        }
        sum += sumFields(buf.data(), buf.data() + used, parser, fields);
        from += static_cast<off_t>(used);
    }
    return sum;
}

// Every field of text[from, to), cut as floorRange cuts its reads.
double floorMapped(const char* text, std::size_t from, std::size_t to, long& fields)
{
    return sumFields(text + from, text + to, Parser::FromChars, fields);
}

// Start of part i of n: just after the first line end at or after i * size / n - 1.
off_t partStart(int fd, off_t size, unsigned i, unsigned n)
{
    if (i == 0) {
        return 0;
    }
    if (i == n) {
        return size;
    }
    off_t pos = size / n * static_cast<off_t>(i) - 1;
    char c = 0;
    while (pos < size && pread(fd, &c, 1, pos) == 1 && !isLineEnd(c)) {
        ++pos;
    }
    return std::min(size, pos + 1);
}

// Runs part(i, starts[i], starts[i + 1], count) for the `threads` parts of the file at line
// ends, one thread each, and gives the fields counted; prints the first part's sum so that
// nothing is optimised away.
template <typename Part> long overParts(int fd, off_t size, unsigned threads, Part part)
{
    std::vector<off_t> starts;
    for (unsigned i = 0; i <= threads; ++i) {
        starts.push_back(partStart(fd, size, i, threads));
    }
    std::vector<long> counts(threads, 0);
    std::vector<double> sums(threads, 0.0);
    std::vector<std::thread> workers;
    for (unsigned i = 0; i < threads; ++i) {
        workers.emplace_back([&, i] { sums[i] = part(starts[i], starts[i + 1], counts[i]); });
    }
    for (std::thread& w : workers) {
        w.join();
    }
    long fields = 0;
    for (const long c : counts) {
        fields += c;
    }
    std::fprintf(stderr, "sum %g\n", sums[0]);
    return fields;
}

int parseFloor(const std::string& path, unsigned threads, Parser parser, long& fields)
{
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) {
        std::perror(path.c_str());
        return 1;
    }
    const off_t size = lseek(fd, 0, SEEK_END);
    fields = overParts(fd, size, threads, [&](off_t from, off_t to, long& count) {
        return floorRange(fd, from, to, parser, count);
    });
    close(fd);
    return 0;
}

// The parse floor over a read-only private mapping of the whole file, split in `threads`
// parts at line ends; the pages are read in as the parse touches them.
int mappedFloor(const std::string& path, unsigned threads, long& fields)
{
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) {
        std::perror(path.c_str());
        return 1;
    }
    const off_t size = lseek(fd, 0, SEEK_END);
    void* map = size > 0
                    ? mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_PRIVATE, fd, 0)
                    : MAP_FAILED;
    if (map == MAP_FAILED) {
        std::perror(path.c_str());
        close(fd);
        return 1;
    }
    madvise(map, static_cast<std::size_t>(size), MADV_SEQUENTIAL);
    const auto* text = static_cast<const char*>(map);
    fields = overParts(fd, size, threads, [&](off_t from, off_t to, long& count) {
        return floorMapped(
            text, static_cast<std::size_t>(from), static_cast<std::size_t>(to), count);
    });
    munmap(map, static_cast<std::size_t>(size));
    close(fd);
    return 0;
}

int scan(const std::string& path, unsigned threads, long& records)
{
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
    auto parallel = threads > 1 ? reader->parallelRecords(threads) : nullptr;
    for (;;) {
        auto more =
            parallel ? parallel->nextRecord(code, values) : reader->nextRecord(code, values);
        if (!more) {
            std::fprintf(stderr, "%s\n", more.error().message.c_str());
            return 1;
        }
        if (!*more) {
            break;
        }
        ++records;
    }
    if (parallel && parallel->needsSequential()) {
        std::fputs("the parallel reader gave up\n", stderr);
        return 1;
    }
    return 0;
}

int wholeRun(const std::string& path, unsigned threads, std::uint64_t budget, long& reportBytes)
{
    auto ds = tavrik::loadDataSet(path);
    if (!ds) {
        std::fprintf(stderr, "%s\n", ds.error().message.c_str());
        return 1;
    }
    tavrik::RunInput in;
    in.dataSet = *ds;
    in.selection.popSelected.assign(static_cast<std::size_t>(ds->popCount), true);
    in.selection.varSelected.assign(static_cast<std::size_t>(ds->varCount), true);
    in.threads = threads;
    in.memoryBudget = budget;
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
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.size() < 2) {
        std::fputs("usage: RunBench f1|fn|ff1|m1|mn FILE | scan FILE N | run FILE N BUDGET\n",
                   stderr);
        return 2;
    }
    const std::string_view mode = args[0];
    const std::string path(args[1]);
    const auto number = [&](std::size_t i) {
        unsigned long long n = 0;
        if (i < args.size()) {
            std::from_chars(args[i].data(), args[i].data() + args[i].size(), n);
        }
        return n;
    };
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const auto start = std::chrono::steady_clock::now();
    long figure = 0;
    int status = 2;
    if (mode == "f1" || mode == "fn") {
        status = parseFloor(path, mode == "f1" ? 1 : cores, Parser::FromChars, figure);
    } else if (mode == "ff1") {
        status = parseFloor(path, 1, Parser::FastFloat, figure);
    } else if (mode == "m1" || mode == "mn") {
        status = mappedFloor(path, mode == "m1" ? 1 : cores, figure);
    } else if (mode == "scan") {
        status = scan(path, static_cast<unsigned>(number(2)), figure);
    } else if (mode == "run") {
        status = wholeRun(path, static_cast<unsigned>(number(2)), number(3), figure);
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (status == 0) {
        std::printf("%.3f %.1f %ld %.3f\n", elapsed.count(), peakRssMiB(), figure, cpuSeconds());
    }
    return status;
}
