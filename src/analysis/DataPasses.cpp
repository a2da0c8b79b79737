#include "analysis/DataPasses.h"

#include "analysis/WorkerPool.h"
#include "io/TextEncoding.h"
#include "report/NumberFormat.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cmath>
#include <cstring>
#include <exception>
#include <new>
#include <system_error>
#include <thread>
#include <type_traits>
#include <utility>

namespace tavrik {

// All indices are 0-based: population i, chosen variable k or l, in file order.

std::vector<double> populationWeights(std::span<const float> selectedSizes)
{
    // The sizes stay 32-bit floats; each is widened exactly to double, summed in file order
    // into a double S, and every weight is the double quotient size / S.
    double s = 0.0;
    for (const float size : selectedSizes) {
        s += static_cast<double>(size);
    }
    std::vector<double> w;
    w.reserve(selectedSizes.size());
    for (const float size : selectedSizes) {
        w.push_back(static_cast<double>(size) / s);
    }
    return w;
}

PassAccumulator::PassAccumulator(PassSetup setup)
    : m_setup(std::move(setup))
    , m_codeTable(65536, -1)
{
#if defined(__GNUC__) && defined(__x86_64__)
    m_wideQuotients = __builtin_cpu_supports("avx") != 0;
#endif
    const std::size_t g = m_setup.popCodes.size();
    const std::size_t t = m_setup.varPositions.size();
    for (std::size_t i = 0; i < g; ++i) {
        // later populations overwrite earlier ones: the last match wins
        m_codeTable[static_cast<std::size_t>(m_setup.popCodes[i] + codeOffset)] =
            static_cast<int>(i);
    }
    m_res.sampleSizes.assign(g, 0.0);
    m_res.leftOut.assign(g, 0.0);
    m_res.popMeans = Matrix(g, t);
    m_sum1.assign(t, 0.0);
    m_shift.assign(t, 0.0);
    m_dsum1.assign(t, 0.0);
    m_dsum2.assign(t, 0.0);
    m_min.assign(t, INFINITY);
    m_max.assign(t, -INFINITY);
}

int PassAccumulator::populationOf(double code) const
{
    // Codes are compared as numbers: a code that is not a whole number in the 16-bit range
    // matches no population.
    if (!(code >= -32768.0 && code <= 32767.0)) {
        return -1;
    }
    const double whole = std::floor(code);
    if (whole != code) {
        return -1;
    }
    return m_codeTable[static_cast<std::size_t>(static_cast<int>(whole) + codeOffset)];
}

// Complete cases over the chosen variables: a missing value of a variable not chosen costs
// the record nothing.
bool PassAccumulator::missesChosenValue(std::span<const double> values) const
{
    for (const std::size_t position : m_setup.varPositions) {
        if (std::isnan(values[position])) {
            return true;
        }
    }
    return false;
}

int PassAccumulator::addPass1(double code, std::span<const double> values)
{
    assert(values.size() == m_setup.fileVarCount);
    const int j = populationOf(code);
    if (j < 0) {
        return -1;
    }
    const std::size_t t = m_setup.varPositions.size();
    const auto i = static_cast<std::size_t>(j);
    if (missesChosenValue(values)) {
        m_res.leftOut[i] += 1.0;
        return -1;
    }
    for (std::size_t k = 0; k < t; ++k) {
        if (!std::isfinite(values[m_setup.varPositions[k]])) {
            return static_cast<int>(k);
        }
    }
    if (!m_haveShift) {
        for (std::size_t k = 0; k < t; ++k) {
            m_shift[k] = values[m_setup.varPositions[k]];
        }
        m_haveShift = true;
    }
    m_res.sampleSizes[i] += 1.0;
    for (std::size_t k = 0; k < t; ++k) {
        const double v = values[m_setup.varPositions[k]];
        m_sum1[k] += v;
        const double d = v - m_shift[k];
        m_dsum1[k] += d;
        m_dsum2[k] += d * d;
        m_res.popMeans(i, k) += v;
        // v is finite here, so plain comparisons do what fmin and fmax would, without a call
        if (v < m_min[k]) {
            m_min[k] = v;
        }
        if (v > m_max[k]) {
            m_max[k] = v;
        }
    }
    return -1;
}

Status PassAccumulator::finishPass1()
{
    const std::size_t g = m_setup.popCodes.size();
    const std::size_t t = m_setup.varPositions.size();

    double n = 0.0;
    for (std::size_t i = 0; i < g; ++i) {
        n += m_res.sampleSizes[i];
    }
    m_res.totalSampleSize = n;
    if (n <= 1.0) {
        return Error::analysis("The data file holds " + std::to_string(static_cast<long>(n)) +
                               " record(s) of the chosen populations; an analysis needs at least "
                               "two records of each chosen population.");
    }
    for (std::size_t i = 0; i < g; ++i) {
        const double ni = m_res.sampleSizes[i];
        const int owner = m_codeTable[static_cast<std::size_t>(m_setup.popCodes[i] + codeOffset)];
        if (ni == 0.0 && owner != static_cast<int>(i)) {
            // a later chosen population with the same code took every record of that code
            const std::string& later = m_setup.popNames[static_cast<std::size_t>(owner)];
            return Error::analysis(
                "Population " + quoteFound(m_setup.popNames[i]) +
                    " has no records of its own: it shares code " +
                    std::to_string(m_setup.popCodes[i]) + " with population " + quoteFound(later) +
                    ", which comes later in the data file and receives every record "
                    "of that code. Give the two populations different codes in the data "
                    "file, or choose only one of them.",
                {},
                0,
                "population " + m_setup.popNames[i]);
        }
        if (ni < 2.0 && m_res.leftOut[i] > 0.0) {
            const auto missing = static_cast<long>(m_res.leftOut[i]);
            return Error::analysis(
                "Population " + quoteFound(m_setup.popNames[i]) + " has " +
                    (ni == 0.0 ? "no complete record" : "only one complete record") + ": " +
                    std::to_string(missing) +
                    (missing == 1 ? " of its records misses" : " of its records miss") +
                    " a value of a chosen variable. Every chosen population needs at "
                    "least two records with all chosen variables; choose fewer "
                    "variables or leave the population out.",
                {},
                0,
                "population " + m_setup.popNames[i]);
        }
        if (ni < 2.0) {
            const std::string what = ni == 0.0 ? "has no records" : "has only one record";
            return Error::analysis(
                "Population " + quoteFound(m_setup.popNames[i]) + " " + what +
                    " in the data file; every chosen population needs at least two "
                    "records (its within-population variance divides by n - 1).",
                {},
                0,
                "population " + m_setup.popNames[i]);
        }
    }

    m_res.totalVariances.assign(t, 0.0);
    m_res.grandMeans.assign(t, 0.0);
    m_sd.assign(t, 0.0);
    for (std::size_t k = 0; k < t; ++k) {
        // From the deviations of the first record: values far from zero relative to their
        // spread keep their digits here, where sums of the values themselves would cancel.
        const double tv = (m_dsum2[k] - m_dsum1[k] * m_dsum1[k] / n) / (n - 1.0);
        const std::string& name = m_setup.varNames[k];
        if (!std::isfinite(tv)) {
            return Error::analysis("Variable " + quoteFound(name) +
                                       ": its values are too large to analyse (the sum of their "
                                       "squared deviations is not a finite number).",
                                   {},
                                   0,
                                   "variable " + name);
        }
        if (m_min[k] == m_max[k] || !(tv > 0.0)) {
            return Error::analysis(
                "Variable " + quoteFound(name) +
                    " has no variance over the records of the chosen populations; "
                    "leave it out of the analysis.",
                {},
                0,
                "variable " + name);
        }
        m_res.totalVariances[k] = tv;
        m_sd[k] = std::sqrt(tv);
    }
    for (std::size_t k = 0; k < t; ++k) {
        m_res.grandMeans[k] = m_sum1[k] / n;
        for (std::size_t i = 0; i < g; ++i) {
            m_res.popMeans(i, k) = m_res.popMeans(i, k) / m_res.sampleSizes[i];
        }
    }
    for (std::size_t i = 0; i < g; ++i) {
        for (std::size_t k = 0; k < t; ++k) {
            m_res.popMeans(i, k) = (m_res.popMeans(i, k) - m_res.grandMeans[k]) / m_sd[k];
        }
    }

    m_res.withinVariance = Matrix(g, t);
    m_res.pooledCov = Matrix(t, t);
    m_nMinusOne.assign(g, 0.0);
    m_pass2Records.assign(g, 0.0);
    for (std::size_t i = 0; i < g; ++i) {
        m_nMinusOne[i] = m_res.sampleSizes[i] - 1.0;
    }
    m_wholePass2 = pass2Part(0, t, true);
    return Done{};
}

void PassAccumulator::addPass2(double code, std::span<const double> values)
{
    addPass2(code, values, m_wholePass2);
}

PassAccumulator::Pass2Part
PassAccumulator::pass2Part(std::size_t rowBegin, std::size_t rowEnd, bool totals) const
{
    const std::size_t t = m_setup.varPositions.size();
    assert(rowBegin <= rowEnd && rowEnd <= t);
    Pass2Part part;
    part.rowBegin = rowBegin;
    part.rowEnd = rowEnd;
    part.totals = totals;
    part.e.assign(t, 0.0);
    return part;
}

void PassAccumulator::addPass2(double code, std::span<const double> values, Pass2Part& part)
{
    assert(values.size() == m_setup.fileVarCount);
    const int j = populationOf(code);
    if (j < 0) {
        return;
    }
    if (missesChosenValue(values)) {
        return;
    }
    const auto i = static_cast<std::size_t>(j);
    // rows up to rowEnd need the deviations up to rowEnd; the totals need all of them
    const std::size_t t = m_setup.varPositions.size();
    const std::size_t used = part.totals ? t : part.rowEnd;
    double* e = part.e.data();
    for (std::size_t k = 0; k < used; ++k) {
        e[k] = values[m_setup.varPositions[k]];
    }
    if (part.totals) {
        m_pass2Records[i] += 1.0;
    }
    const Pass2Record record{m_res.grandMeans.data(),
                             m_sd.data(),
                             &m_res.popMeans(i, 0),
                             part.totals ? &m_res.withinVariance(i, 0) : nullptr,
                             &m_res.pooledCov(0, 0),
                             e,
                             m_setup.popWeights[i],
                             m_nMinusOne[i],
                             t,
                             used,
                             part.rowBegin,
                             part.rowEnd};
    addPass2Arithmetic(record);
}

namespace {

#if defined(__GNUC__)
// Four doubles, handled by the compiler as one operand where the processor allows. Kept in
// locals (loaded and stored with memcpy), never passed to or returned from a function, whose
// calling convention would depend on the instruction set.
using Quad = double __attribute__((vector_size(32)));
#endif

// The arithmetic of one record of pass 2. Every element takes its own operations in the order
// written (no fused operations), so doing four elements at once gives each exactly the double
// it gets on its own.
[[gnu::always_inline]] inline void pass2Arithmetic(const Pass2Record& r)
{
    double* e = r.e;
    std::size_t k = 0;
    // the record's values become deviations: z(k) = (x(k) - mean(k)) / sd(k), e(k) = z(k) - the
    // population's standardized mean
#if defined(__GNUC__)
    for (; k + 4 <= r.used; k += 4) {
        Quad x;
        Quad mean;
        Quad sd;
        Quad popMean;
        std::memcpy(&x, e + k, sizeof x);
        std::memcpy(&mean, r.grandMeans + k, sizeof mean);
        std::memcpy(&sd, r.sd + k, sizeof sd);
        std::memcpy(&popMean, r.popMeans + k, sizeof popMean);
        const Quad z = (x - mean) / sd;
        const Quad dev = z - popMean;
        std::memcpy(e + k, &dev, sizeof dev);
    }
#endif
    for (; k < r.used; ++k) {
        const double z = (e[k] - r.grandMeans[k]) / r.sd[k];
        e[k] = z - r.popMeans[k];
    }
    const double nm1 = r.nMinusOne;
#if defined(__GNUC__)
    const Quad nm4 = {nm1, nm1, nm1, nm1};
#endif
    if (r.within != nullptr) {
        k = 0;
#if defined(__GNUC__)
        for (; k + 4 <= r.t; k += 4) {
            Quad dev;
            Quad sum;
            std::memcpy(&dev, e + k, sizeof dev);
            std::memcpy(&sum, r.within + k, sizeof sum);
            sum += dev * dev / nm4;
            std::memcpy(r.within + k, &sum, sizeof sum);
        }
#endif
        for (; k < r.t; ++k) {
            r.within[k] += e[k] * e[k] / nm1;
        }
    }
    // rows [rowBegin, rowEnd) of the lower triangle, elements l <= k of row k:
    // row[l] += (e(k) * w) * e(l) / (n - 1), left to right; the first product is shared by the
    // whole row, which changes no rounding
    for (k = r.rowBegin; k < r.rowEnd; ++k) {
        const double ew = e[k] * r.weight;
        double* row = r.pooled + k * r.t;
        std::size_t l = 0;
#if defined(__GNUC__)
        const Quad ew4 = {ew, ew, ew, ew};
        for (; l + 4 <= k + 1; l += 4) {
            Quad dev;
            Quad sum;
            std::memcpy(&dev, e + l, sizeof dev);
            std::memcpy(&sum, row + l, sizeof sum);
            sum += ew4 * dev / nm4;
            std::memcpy(row + l, &sum, sizeof sum);
        }
#endif
        for (; l <= k; ++l) {
            row[l] += ew * e[l] / nm1;
        }
    }
}

#if defined(__GNUC__) && defined(__x86_64__)
[[gnu::target("avx")]] void pass2ArithmeticAvx(const Pass2Record& r)
{
    pass2Arithmetic(r);
}
#endif

} // namespace

// The quotients are most of the second pass's work: they go four at a time where the
// processor can, and two at a time everywhere else.
void PassAccumulator::addPass2Arithmetic(const Pass2Record& record) const
{
#if defined(__GNUC__) && defined(__x86_64__)
    if (m_wideQuotients) {
        pass2ArithmeticAvx(record);
        return;
    }
#endif
    pass2Arithmetic(record);
}

namespace {

Status notFinite(const std::string& what, const std::string& field)
{
    return Error::analysis(
        "The analysis met a value that is not a finite number in " + what +
            "; the data values may be too large or too close together to analyse.",
        {},
        0,
        field);
}

} // namespace

bool PassAccumulator::passesSawSameRecords() const
{
    return m_pass2Records == m_res.sampleSizes;
}

Status PassAccumulator::finishPass2()
{
    const std::size_t g = m_setup.popCodes.size();
    const std::size_t t = m_setup.varPositions.size();
    Matrix& c = m_res.pooledCov;
    for (std::size_t k = 0; k < t; ++k) {
        for (std::size_t l = 0; l <= k; ++l) {
            c(l, k) = c(k, l);
        }
    }
    const auto td = static_cast<double>(t);
    m_res.observedVariance.assign(g, 0.0);
    for (std::size_t i = 0; i < g; ++i) {
        double sum = 0.0;
        for (std::size_t k = 0; k < t; ++k) {
            sum += m_res.withinVariance(i, k);
        }
        m_res.observedVariance[i] = sum / td;
    }
    double trace = 0.0;
    for (std::size_t k = 0; k < t; ++k) {
        trace += c(k, k);
    }
    m_res.meanWithinVariance = trace / td;

    for (std::size_t i = 0; i < g; ++i) {
        for (std::size_t k = 0; k < t; ++k) {
            if (!std::isfinite(m_res.popMeans(i, k)) ||
                !std::isfinite(m_res.withinVariance(i, k))) {
                const std::string where = "population " + quoteFound(m_setup.popNames[i]) +
                                          ", variable " + quoteFound(m_setup.varNames[k]);
                return notFinite("the mean or variance of " + where, where);
            }
        }
    }
    for (std::size_t k = 0; k < t; ++k) {
        for (std::size_t l = 0; l < t; ++l) {
            if (!std::isfinite(c(k, l))) {
                return notFinite("the pooled covariance of variables " +
                                     quoteFound(m_setup.varNames[k]) + " and " +
                                     quoteFound(m_setup.varNames[l]),
                                 "variable " + m_setup.varNames[k]);
            }
        }
    }
    return Done{};
}

Result<DataFileHeader>
readRunHeader(DataFileReader& reader, const std::string& dataPath, int popCount, int varCount)
{
    auto header = reader.readHeader();
    if (!header) {
        return header.error();
    }
    if (header->popCount != popCount || header->varCount != varCount) {
        return Error::dataFile(
            "The data file " + dataPath + " has changed since it was opened: it now declares " +
                std::to_string(header->popCount) + " populations and " +
                std::to_string(header->varCount) + " variables, where it declared " +
                std::to_string(popCount) + " and " + std::to_string(varCount) +
                ". Open it again and choose the populations and variables anew.",
            dataPath,
            0,
            "header counts");
    }
    return header;
}

std::string passProgressLine(int pass, long casesRead)
{
    return "...pass " + std::to_string(pass) +
           " of 2, cases read = " + formatNumber(static_cast<double>(casesRead), "####") + " ...";
}

namespace {

constexpr long progressEvery = 20;

// Doubles per chunk of the cache: large enough that allocations are rare, small enough that
// the last chunk wastes little of the budget.
constexpr std::size_t cacheChunkDoubles = std::size_t{1} << 17;

} // namespace

RecordCache::RecordCache(std::size_t chosenVarCount, std::uint64_t budgetBytes)
    : m_stride(1 + chosenVarCount)
    , m_chunkRecords(std::max<std::size_t>(1,
                                           static_cast<std::size_t>(std::min<std::uint64_t>(
                                               cacheChunkDoubles, budgetBytes / sizeof(double))) /
                                               (1 + chosenVarCount)))
    , m_budget(budgetBytes)
    , m_complete(budgetBytes > 0)
{}

std::uint64_t RecordCache::bytesHeld() const
{
    std::uint64_t bytes = 0;
    for (const std::vector<double>& chunk : m_chunks) {
        bytes += chunk.capacity() * sizeof(double);
    }
    return bytes;
}

void RecordCache::add(double code,
                      std::span<const double> values,
                      std::span<const std::size_t> positions)
{
    assert(positions.size() + 1 == m_stride);
    if (!m_complete) {
        return;
    }
    if (m_chunks.empty() || m_chunks.back().size() == m_chunks.back().capacity()) {
        const std::uint64_t chunkBytes = std::uint64_t{m_chunkRecords} * m_stride * sizeof(double);
        if (bytesHeld() + chunkBytes > m_budget) {
            giveUp();
            return;
        }
        // Memory the system will not give is a smaller budget: the records are read again.
        try {
            m_chunks.emplace_back();
            m_chunks.back().reserve(m_chunkRecords * m_stride);
        } catch (const std::bad_alloc&) {
            giveUp();
            return;
        }
    }
    std::vector<double>& chunk = m_chunks.back();
    chunk.push_back(code);
    for (const std::size_t position : positions) {
        chunk.push_back(values[position]);
    }
    ++m_records;
}

void RecordCache::clear()
{
    std::vector<std::vector<double>>().swap(m_chunks);
    m_records = 0;
    m_complete = m_budget > 0;
}

void RecordCache::giveUp()
{
    m_complete = false;
    m_records = 0;
    std::vector<std::vector<double>>().swap(m_chunks);
}

namespace {

// The first row of the pooled matrix left to a second thread: the rows below it and the
// totals (about 2t quotients a record) weigh about as much as the rows from it on.
std::size_t sharedRowsFrom(std::size_t t)
{
    std::size_t split = 0;
    while (split < t && 2 * t + split * (split + 1) / 2 < (t * (t + 1) - split * (split + 1)) / 2) {
        ++split;
    }
    return split;
}

} // namespace

Status replayPass2(const RecordCache& cache,
                   PassAccumulator& acc,
                   ProgressSink& progress,
                   std::uint64_t fileBytes,
                   unsigned threads)
{
    // The bar moves through the file's bytes in proportion to the records replayed.
    const auto bytesDone = [&](long count) {
        return count == cache.records()
                   ? fileBytes
                   : static_cast<std::uint64_t>(static_cast<double>(fileBytes) *
                                                static_cast<double>(count) /
                                                static_cast<double>(cache.records()));
    };
    assert(cache.complete());
    const PassSetup& setup = acc.setup();
    const std::size_t t = setup.varPositions.size();
    // The accumulator takes a record's V values by file position; the unchosen ones stay 0.
    const auto feed = [&setup](std::vector<double>& values,
                               PassAccumulator& into,
                               PassAccumulator::Pass2Part& part,
                               double code,
                               std::span<const double> chosen) {
        for (std::size_t k = 0; k < chosen.size(); ++k) {
            values[setup.varPositions[k]] = chosen[k];
        }
        into.addPass2(code, values, part);
    };

    // With a second thread, it takes every record too, for the rows from `split` on; each
    // element of the matrix is still summed by one thread, in record order.
    std::size_t split = threads > 1 && t > 1 ? sharedRowsFrom(t) : t;
    std::atomic<bool> stop{false};
    std::exception_ptr helperFailure;
    std::thread helper;
    // A pass that ends early (cancelled, or an exception on its way out) stops the helper
    // before its records go.
    struct StopHelper
    {
        std::atomic<bool>& stop;
        std::thread& helper;
        ~StopHelper()
        {
            if (helper.joinable()) {
                stop.store(true, std::memory_order_relaxed);
                helper.join();
            }
        }
    } stopHelper{stop, helper};
    if (split < t) {
        try {
            helper = std::thread([&, part = acc.pass2Part(split, t, false)]() mutable {
                try {
                    std::vector<double> values(setup.fileVarCount, 0.0);
                    cache.forEach([&](double code, std::span<const double> chosen) {
                        if (stop.load(std::memory_order_relaxed)) {
                            return false;
                        }
                        feed(values, acc, part, code, chosen);
                        return true;
                    });
                } catch (...) {
                    helperFailure = std::current_exception(); // read after the join
                }
            });
        } catch (const std::system_error&) {
            split = t; // no thread to be had: this one takes every row
        }
    }
    PassAccumulator::Pass2Part mine = acc.pass2Part(0, split, true);
    std::vector<double> values(setup.fileVarCount, 0.0);
    long count = 0;
    const bool finished = cache.forEach([&](double code, std::span<const double> chosen) {
        feed(values, acc, mine, code, chosen);
        ++count;
        if (count % progressEvery == 0) {
            progress.status(passProgressLine(2, count));
            progress.passProgress(2, bytesDone(count), fileBytes);
            if (progress.cancelled()) {
                return false;
            }
        }
        return true;
    });
    if (!finished) {
        return cancelledRun();
    }
    if (helper.joinable()) {
        helper.join(); // its rows are done
    }
    if (helperFailure) {
        return errorFromException(helperFailure, "the second pass over the data");
    }
    progress.status(passProgressLine(2, count));
    progress.passProgress(2, fileBytes, fileBytes);
    if (progress.cancelled()) {
        return cancelledRun();
    }
    return Done{};
}

namespace {

// The records of one pass from source into the accumulator (and the cache). Progress lines
// for counts up to quietUpTo are not shown again (a pass taken over by the sequential reader
// after they were); count ends as the number of records read.
template <typename Source>
Status streamRecords(Source& source,
                     const std::string& dataPath,
                     int pass,
                     PassAccumulator& acc,
                     ProgressSink& progress,
                     RecordCache* cache,
                     long quietUpTo,
                     long& count)
{
    std::vector<double> values(acc.setup().fileVarCount);
    count = 0;
    double code = 0.0;
    for (;;) {
        auto more = source.nextRecord(code, values);
        if (!more) {
            return more.error();
        }
        if (!*more) {
            break;
        }
        ++count;
        if (pass == 1) {
            const int bad = acc.addPass1(code, values);
            if (bad >= 0) {
                const std::string& name = acc.setup().varNames[static_cast<std::size_t>(bad)];
                return Error::dataFile(dataPath + ", record " + std::to_string(count) +
                                           ": the value of variable " + quoteFound(name) +
                                           " is not a finite number",
                                       dataPath,
                                       0,
                                       "variable " + name);
            }
        } else {
            acc.addPass2(code, values);
        }
        if (cache != nullptr) {
            cache->add(code, values, acc.setup().varPositions);
        }
        if (count % progressEvery == 0) {
            if (count > quietUpTo) {
                progress.status(passProgressLine(pass, count));
                progress.passProgress(pass, source.bytesRead(), source.sizeBytes());
            }
            if (progress.cancelled()) {
                return cancelledRun();
            }
        }
    }
    if constexpr (std::is_same_v<Source, ParallelRecordReader>) {
        if (source.needsSequential()) {
            return Done{}; // the sequential reader shows the pass's last line
        }
    }
    progress.status(passProgressLine(pass, count));
    progress.passProgress(pass, source.bytesRead(), source.sizeBytes());
    if (progress.cancelled()) {
        return cancelledRun();
    }
    return Done{};
}

} // namespace

Status streamPass(DataFileReader& reader,
                  const std::string& dataPath,
                  int pass,
                  PassAccumulator& acc,
                  ProgressSink& progress,
                  RecordCache* cache)
{
    long count = 0;
    return streamRecords(reader, dataPath, pass, acc, progress, cache, 0, count);
}

Result<long> readPass(DataFileReader& reader,
                      const std::string& dataPath,
                      int pass,
                      PassAccumulator& acc,
                      ProgressSink& progress,
                      RecordCache* cache,
                      unsigned threads,
                      std::size_t blockBytes)
{
    long count = 0;
    long shown = 0;
    if (threads > 1) {
        if (auto parallel = reader.parallelRecords(threads, blockBytes)) {
            PassAccumulator before = acc;
            Status st = streamRecords(*parallel, dataPath, pass, acc, progress, cache, 0, count);
            if (!st) {
                return st.error();
            }
            if (!parallel->needsSequential()) {
                return count;
            }
            // Start the pass again with the sequential reader, which is still at the first
            // record: it finds the same records, or names the line and field of the fault.
            acc = std::move(before);
            if (cache != nullptr) {
                cache->clear();
            }
            shown = count - count % progressEvery;
        }
    }
    if (auto st = streamRecords(reader, dataPath, pass, acc, progress, cache, shown, count); !st) {
        return st.error();
    }
    return count;
}

} // namespace tavrik
