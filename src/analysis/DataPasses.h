// The two streaming passes over the data file: counts, sums and standardized means in the
// first; within-population variances and the weighted pooled covariance of the standardized
// variables in the second. The first pass may keep its records in a RecordCache, bounded by
// a budget, so that the second reads them from memory instead of the file.
#pragma once

#include "analysis/ProgressSink.h"
#include "datafile/DataFileReader.h"
#include "state/Matrix.h"
#include "state/Result.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tavrik {

// The chosen populations and variables, compacted in file order (0-based throughout).
struct PassSetup
{
    std::vector<std::string> popNames;
    std::vector<std::int16_t> popCodes;
    std::vector<double> popWeights; // w(i) = size(i) / S
    std::vector<std::string> varNames;
    std::vector<std::size_t> varPositions; // file position of each chosen variable
    std::size_t fileVarCount = 0;          // V: values per record
};

// w(i) = size(i) / S, S the sum of the chosen sizes. The sizes are 32-bit floats; S is
// accumulated in double, in file order, and the division is done in double.
std::vector<double> populationWeights(std::span<const float> selectedSizes);

struct PassResults
{
    std::vector<double> sampleSizes; // n(i), as doubles
    double totalSampleSize = 0.0;    // N
    std::vector<double> grandMeans;  // per chosen variable
    std::vector<double> totalVariances;
    Matrix popMeans;                      // g x t, standardized after the first pass
    Matrix withinVariance;                // g x t
    Matrix pooledCov;                     // t x t, both triangles
    std::vector<double> observedVariance; // per population: mean of its within variances
    double meanWithinVariance = 0.0;      // mean of the pooled diagonal
    // Per population: records left out because a chosen variable is missing (NaN).
    std::vector<double> leftOut;
};

// What the arithmetic of one record of pass 2 reads and adds to (0-based rows and columns).
struct Pass2Record
{
    const double* grandMeans; // t
    const double* sd;         // t
    const double* popMeans;   // t: the record's population, standardized
    double* within;           // t: its within variances; null when another part sums them
    double* pooled;           // t x t
    double* e;                // in: the chosen values; out: their deviations
    double weight;
    double nMinusOne;
    std::size_t t;
    std::size_t used; // deviations needed: all t for the totals, else rowEnd
    std::size_t rowBegin;
    std::size_t rowEnd;
};

// Accumulates the records of both passes. Feed every record of pass 1, call finishPass1,
// feed every record of pass 2, call finishPass2.
class PassAccumulator
{
public:
    explicit PassAccumulator(PassSetup setup);

    // 0-based chosen population receiving records with this code, or -1. Two chosen
    // populations with one code: the later one in file order wins.
    int populationOf(double code) const;

    // values: the record's V values in file order. A record missing (NaN) a chosen variable
    // is left out of both passes and counted in leftOut. Returns the 0-based chosen variable
    // whose value is infinite (the record then counts for nothing), or -1.
    int addPass1(double code, std::span<const double> values);
    // Between the passes: raw means, overall variances, standardized means. Fails when a
    // chosen population has fewer than two records or a variable has no variance.
    [[nodiscard]] Status finishPass1();
    void addPass2(double code, std::span<const double> values);

    // Pass 2 shared between threads: each takes every record of the pass, in order, into its
    // own part: rows [rowBegin, rowEnd) of the pooled matrix and, for exactly one part
    // (totals), the record counts and within-population variances. Parts with disjoint rows
    // may be fed at the same time, and every element is summed in record order as by
    // addPass2.
    struct Pass2Part
    {
        std::size_t rowBegin = 0;
        std::size_t rowEnd = 0;
        bool totals = true;
        std::vector<double> e; // scratch: deviations from the population means
    };
    // After finishPass1.
    Pass2Part pass2Part(std::size_t rowBegin, std::size_t rowEnd, bool totals) const;
    void addPass2(double code, std::span<const double> values, Pass2Part& part);
    // True when pass 2 met as many records of every chosen population as pass 1 did.
    bool passesSawSameRecords() const;
    // Mirrors the pooled matrix and forms the two variance summaries; fails on a value
    // that is not finite.
    [[nodiscard]] Status finishPass2();

    const PassSetup& setup() const { return m_setup; }
    const PassResults& results() const { return m_res; }

private:
    // The steps of finishPass1, in order.
    [[nodiscard]] Status checkRecordCounts();
    [[nodiscard]] Status checkPopulationRecords(std::size_t i) const;
    [[nodiscard]] Status computeTotalVariances();
    void standardizeMeans();
    bool missesChosenValue(std::span<const double> values) const;
    void addPass2Arithmetic(const Pass2Record& record) const;
    [[maybe_unused]] bool m_wideQuotients = false; // the processor divides four doubles at once
    static constexpr int codeOffset = 32768;       // int16 code -> table index
    PassSetup m_setup;
    PassResults m_res;
    std::vector<int> m_codeTable; // 65536 entries, -1 = no chosen population
    std::vector<double> m_sum1;   // sums of the values, for the grand means
    // The total variance sums deviations d = v - K(k) from the first accepted record's values.
    std::vector<double> m_shift; // K(k)
    bool m_haveShift = false;
    std::vector<double> m_dsum1; // sum of d
    std::vector<double> m_dsum2; // sum of d * d
    std::vector<double> m_min;   // per chosen variable, to recognise a constant variable
    std::vector<double> m_max;
    std::vector<double> m_sd;           // sqrt of the total variance, per chosen variable
    std::vector<double> m_nMinusOne;    // n(i) - 1
    std::vector<double> m_pass2Records; // per chosen population, counted like n(i)
    Pass2Part m_wholePass2;             // every row and the totals, for addPass2
};

// The code and the chosen values of every record of the first pass, in file order, as long as
// they fit the budget. A file that does not fit gives up the whole cache at the record that
// overflows it, so memory stays within the budget whatever the file's size.
class RecordCache
{
public:
    RecordCache(std::size_t chosenVarCount, std::uint64_t budgetBytes);

    // Keeps the record (values: all V values, of which the chosen ones are kept).
    void add(double code, std::span<const double> values, std::span<const std::size_t> positions);
    // True while it holds every record added (always false with a budget of 0).
    bool complete() const { return m_complete; }
    long records() const { return m_records; }
    std::uint64_t bytesHeld() const;
    // Lets every record go and starts again, as new.
    void clear();

    // Calls visit(code, chosenValues) for every record, in the order they were added, while
    // it returns true; returns false if visit stopped it.
    template <typename Visit> bool forEach(Visit&& visit) const;

private:
    void giveUp();
    std::size_t m_stride; // 1 + t doubles per record
    std::size_t m_chunkRecords;
    std::uint64_t m_budget;
    std::vector<std::vector<double>> m_chunks;
    long m_records = 0;
    bool m_complete;
};

template <typename Visit> bool RecordCache::forEach(Visit&& visit) const
{
    for (const std::vector<double>& chunk : m_chunks) {
        for (std::size_t at = 0; at < chunk.size(); at += m_stride) {
            if (!visit(chunk[at], std::span<const double>(chunk.data() + at + 1, m_stride - 1))) {
                return false;
            }
        }
    }
    return true;
}

// Reads the header at the start of a pass and checks it against the counts the selection
// was sized for.
[[nodiscard]] Result<DataFileHeader>
readRunHeader(DataFileReader& reader, const std::string& dataPath, int popCount, int varCount);

// Streams the records after the header into the accumulator (pass 1 or 2), with the
// progress line after every 20th record and once more at the end; each time it asks the sink
// whether the user has cancelled, and stops with cancelledRun() if so. A cache, if given,
// receives every record of the pass.
[[nodiscard]] Status streamPass(DataFileReader& reader,
                                const std::string& dataPath,
                                int pass,
                                PassAccumulator& acc,
                                ProgressSink& progress,
                                RecordCache* cache = nullptr);

// One pass over the records after the header, as streamPass: on `threads` threads when more
// than one, in blocks of blockBytes. When the parallel reader meets anything unusual, the
// sequential reader takes the pass over from its first record, with the accumulator and the
// cache as they were and without showing the progress lines already shown, so that an error
// names its line and field. Returns the number of records read.
[[nodiscard]] Result<long>
readPass(DataFileReader& reader,
         const std::string& dataPath,
         int pass,
         PassAccumulator& acc,
         ProgressSink& progress,
         RecordCache* cache,
         unsigned threads,
         std::size_t blockBytes = ParallelRecordReader::defaultBlockBytes);

// The second pass over the records a complete cache holds, with the same progress lines and
// cancel polls as streamPass; the bytes reported move through fileBytes, the size of the
// file the first pass read, in proportion to the records. With more than one thread, a second
// thread takes part of the pooled matrix.
[[nodiscard]] Status replayPass2(const RecordCache& cache,
                                 PassAccumulator& acc,
                                 ProgressSink& progress,
                                 std::uint64_t fileBytes,
                                 unsigned threads = 1);

std::string passProgressLine(int pass, long casesRead);

} // namespace tavrik
