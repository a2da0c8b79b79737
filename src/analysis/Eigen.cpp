#include "analysis/Eigen.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

// Indices here are 0-based; the solver's rules are stated for rows and columns counted from 1,
// so "the first row" is row 0 and "no column recorded yet" is -1.
//
// Every formula keeps its operation order (no reassociation, no fused multiply-add), and the
// row-maximum bookkeeping its comparison rules: eigenvalues, eigenvector signs and the order of
// the diagonal depend on them to the last bit.

namespace tavrik {

namespace {

constexpr double jacobiEpsilon = 7.450580596E-09;
constexpr double initialTolerance = 1E+37;
constexpr double nonZeroThreshold = 5E-07;

// The rotation cap, in sweeps of g(g-1)/2 rotations. Finite inputs converge in about five
// sweeps (500 populations: 4.9); 100 sweeps leaves a wide margin, so only a fault (an overflow
// that turned elements into infinities or NaN) can reach it, and the run then stops instead of
// looping.
constexpr std::size_t sweepsBeforeGivingUp = 100;

// How often the solver asks whether to stop (cheap), and how often it shows the rotations done
// for a matrix large enough to take more than a few seconds (2000 populations: minutes).
constexpr long rotationsBetweenPolls = 1024;
constexpr long rotationsBetweenStatus = 65536;
constexpr std::size_t populationsShowingRotations = 200;

bool allFinite(const Matrix& a)
{
    for (double v : a.data()) {
        if (!std::isfinite(v)) {
            return false;
        }
    }
    return true;
}

} // namespace

Matrix doubleCentre(const Matrix& a)
{
    const std::size_t g = a.rows();
    const double gd = static_cast<double>(g);
    Matrix c(g, g);
    for (std::size_t i = 0; i < g; ++i) {
        for (std::size_t j = 0; j < g; ++j) {
            c(i, j) = a(i, j) - (a(i, i) + a(j, j)) / 2.0;
        }
    }

    std::vector<double> rowMean(g);
    std::vector<double> colMean(g);
    for (std::size_t i = 0; i < g; ++i) {
        double sum = 0.0;
        for (std::size_t j = 0; j < g; ++j) {
            sum += c(i, j);
        }
        rowMean[i] = sum / gd;
    }
    for (std::size_t j = 0; j < g; ++j) {
        double sum = 0.0;
        for (std::size_t i = 0; i < g; ++i) {
            sum += c(i, j);
        }
        colMean[j] = sum / gd;
    }
    // one running sum, row by row
    double total = 0.0;
    for (std::size_t i = 0; i < g; ++i) {
        for (std::size_t j = 0; j < g; ++j) {
            total += c(i, j);
        }
    }
    const double grandMean = total / (gd * gd);

    for (std::size_t i = 0; i < g; ++i) {
        for (std::size_t j = 0; j < g; ++j) {
            c(i, j) = c(i, j) - rowMean[i] - colMean[j] + grandMean;
        }
    }
    return c;
}

namespace {

// The solver works on the upper triangle (i < j) and the diagonal of `m` only. Eigenvectors are
// held transposed (row k = eigenvector k) so that the update of a pair walks contiguous memory;
// the arithmetic is the same as on columns.
//
// Two indexes over the row maxima save full scans without changing any result: the maximum of
// each block of rows (the pivot is the first row holding the largest row maximum, whichever way
// it is found), and for each column the list of rows whose maximum sits there (the rows to
// rescan after a rotation).
class JacobiSolver
{
public:
    JacobiSolver(Matrix& m, std::size_t g, ProgressSink* progress, std::string_view statusLine)
        : m_a(m)
        , m_g(g)
        , m_progress(progress)
        , m_statusLine(statusLine)
        , m_rowMax(g, 0.0)
        , m_rowMaxColumn(g, -1)
        , m_firstPointing(g, none)
        , m_nextPointing(g, none)
        , m_previousPointing(g, none)
        , m_blockMax((g + blockRows - 1) / blockRows, 0.0)
        , m_blockStale(m_blockMax.size(), 0)
        , m_scanBlockMax(g / scanBlock + 1, 0.0)
        , m_vt(g, g)
    {
        for (std::size_t k = 0; k < g; ++k) {
            m_vt(k, k) = 1.0;
        }
        m_rescan.reserve(g);
    }

    long rotationCount() const { return m_rotations; }
    bool cancelled() const { return m_cancelled; }

    // Returns false only when the rotation cap stopped the solver.
    bool run()
    {
        m_pending.reserve(std::min(pendingLimit, m_g * m_g));
        const bool converged = iterate();
        if (m_cancelled) {
            return false; // the eigenvectors will not be read
        }
        applyPendingRotations();
        return converged;
    }

    Matrix eigenvectors() const
    {
        Matrix v(m_g, m_g);
        for (std::size_t i = 0; i < m_g; ++i) {
            for (std::size_t k = 0; k < m_g; ++k) {
                v(i, k) = m_vt(k, i);
            }
        }
        return v;
    }

private:
    bool iterate()
    {
        for (std::size_t i = 0; i + 1 < m_g; ++i) {
            scanRow(i);
        }
        double tolerance = initialTolerance;
        const std::size_t pairs = m_g * (m_g - 1) / 2;
        const std::size_t rotationCap = sweepsBeforeGivingUp * pairs + 1000;

        for (;;) {
            const std::size_t p = pivotRow();
            const double pivotMax = m_rowMax[p];
            const int qColumn = m_rowMaxColumn[p];
            if (pivotMax <= 0.0) {
                return true;
            }
            if (tolerance <= 0.0 || (tolerance > 0.0 && pivotMax <= tolerance)) {
                double smallestDiagonal = std::fabs(m_a(0, 0));
                for (std::size_t i = 0; i < m_g; ++i) {
                    if (std::fabs(m_a(i, i)) < smallestDiagonal) {
                        smallestDiagonal = std::fabs(m_a(i, i));
                    }
                }
                tolerance = jacobiEpsilon * smallestDiagonal;
                if (tolerance >= pivotMax) {
                    return true;
                }
            }
            if (static_cast<std::size_t>(m_rotations) >= rotationCap || !std::isfinite(pivotMax)) {
                return false;
            }
            // A positive row maximum always comes with its column to the right of the row.
            if (qColumn <= static_cast<int>(p) || qColumn >= static_cast<int>(m_g)) {
                return false;
            }
            rotate(p, static_cast<std::size_t>(qColumn));
            ++m_rotations;
            if (m_progress != nullptr && m_rotations % rotationsBetweenPolls == 0 && !poll()) {
                return false;
            }
        }
    }

    // Between rotations: false when the sink asks to stop.
    bool poll()
    {
        if (m_g >= populationsShowingRotations && m_rotations % rotationsBetweenStatus == 0) {
            m_progress->status(std::string(m_statusLine) + " " + std::to_string(m_rotations) +
                               " rotations done");
        }
        m_cancelled = m_progress->cancelled();
        return !m_cancelled;
    }

    static constexpr std::size_t blockRows = 32;

    // The first row (of rows 0 .. g-2) holding the largest row maximum: the row a scan with a
    // strict comparison from row 0 would choose, ties keeping the lowest row.
    std::size_t pivotRow()
    {
        const std::size_t rows = m_g - 1;
        double best = 0.0;
        std::size_t bestBlock = 0;
        for (std::size_t b = 0; b < m_blockMax.size(); ++b) {
            if (m_blockStale[b] != 0) {
                const std::size_t end = std::min(rows, (b + 1) * blockRows);
                // the row maxima are magnitudes already
                m_blockMax[b] = largestMagnitude(&m_rowMax[b * blockRows], end - b * blockRows);
                m_blockStale[b] = 0;
            }
            if (b == 0 || m_blockMax[b] > best) {
                best = m_blockMax[b];
                bestBlock = b;
            }
        }
        const std::size_t end = std::min(rows, (bestBlock + 1) * blockRows);
        for (std::size_t i = bestBlock * blockRows; i < end; ++i) {
            if (m_rowMax[i] == best) {
                return i;
            }
        }
        return bestBlock * blockRows;
    }

    // Every change of a row maximum goes through here to keep the two indexes.
    void setRowMax(std::size_t i, double value, int column)
    {
        if (i + 1 < m_g) {
            const int old = m_rowMaxColumn[i];
            if (column != old) {
                if (old >= 0) {
                    unlinkPointing(i, static_cast<std::size_t>(old));
                }
                linkPointing(i, static_cast<std::size_t>(column));
            }
            const std::size_t b = i / blockRows;
            if (value < m_rowMax[i]) {
                m_blockStale[b] = 1;
            } else if (value > m_blockMax[b]) {
                m_blockMax[b] = value;
            }
        }
        m_rowMax[i] = value;
        m_rowMaxColumn[i] = column;
    }

    // Row maximum over j > i; greater-or-equal, so among equal magnitudes the last column wins
    // and a row of zeros records its last column. Found in two passes with the same outcome:
    // the largest magnitude (exact in any order; a NaN fails the comparison and is passed
    // over), then the last column holding it.
    void scanRow(std::size_t i)
    {
        const double* row = &m_a(i, 0);
        const std::size_t first = i + 1;
        const std::size_t n = m_g - first;
        double* const blockMax = m_scanBlockMax.data();
        const double best = blockMaxima(row + first, n, blockMax);
        const std::size_t at = lastReaching(row + first, n, best, blockMax);
        setRowMax(i, best, at != none ? static_cast<int>(first + at) : m_rowMaxColumn[i]);
    }

#if defined(__GNUC__)
    using Pair = double __attribute__((vector_size(16)));
    using PairBits = std::uint64_t __attribute__((vector_size(16)));
    static constexpr std::uint64_t magnitudeBits = ~(std::uint64_t{1} << 63);

    static Pair loadPair(const double* x)
    {
        Pair v;
        std::memcpy(&v, x, sizeof v);
        return v;
    }

    static Pair magnitudes(Pair v)
    {
        const PairBits mask = {magnitudeBits, magnitudeBits};
        return __builtin_bit_cast(Pair, __builtin_bit_cast(PairBits, v) & mask);
    }

    static Pair magnitudes(const double* x)
    {
        return magnitudes(loadPair(x));
    }
#endif

    // The largest |x[k]| over k < n; 0 when n = 0 or every element is NaN.
    static double largestMagnitude(const double* x, std::size_t n)
    {
        std::size_t k = 0;
        double largest = 0.0;
#if defined(__GNUC__)
        // four independent running maxima, so that the comparisons overlap
        Pair m0 = {0.0, 0.0};
        Pair m1 = m0;
        Pair m2 = m0;
        Pair m3 = m0;
        for (; k + 8 <= n; k += 8) {
            const Pair a = magnitudes(x + k);
            const Pair b = magnitudes(x + k + 2);
            const Pair c = magnitudes(x + k + 4);
            const Pair d = magnitudes(x + k + 6);
            m0 = a > m0 ? a : m0;
            m1 = b > m1 ? b : m1;
            m2 = c > m2 ? c : m2;
            m3 = d > m3 ? d : m3;
        }
        m0 = m1 > m0 ? m1 : m0;
        m2 = m3 > m2 ? m3 : m2;
        m0 = m2 > m0 ? m2 : m0;
        largest = m0[1] > m0[0] ? m0[1] : m0[0];
#endif
        for (; k < n; ++k) {
            const double v = std::fabs(x[k]);
            largest = v > largest ? v : largest;
        }
        return largest;
    }

    // Scans go by blocks of eight elements: first the largest magnitude of each block and of
    // all, then only the blocks that hold the wanted column are looked at one by one.
    static constexpr std::size_t scanBlock = 8;

    // blockMax[b] = the largest |x[k]| for k in block b (the last block may be short); returns
    // the largest of all. A NaN is passed over; 0 for a block of NaN.
    static double blockMaxima(const double* x, std::size_t n, double* blockMax)
    {
        std::size_t k = 0;
        double largest = 0.0;
#if defined(__GNUC__)
        for (; k + scanBlock <= n; k += scanBlock) {
            const Pair a = magnitudes(x + k);
            const Pair b = magnitudes(x + k + 2);
            const Pair c = magnitudes(x + k + 4);
            const Pair d = magnitudes(x + k + 6);
            Pair m = {0.0, 0.0};
            m = a > m ? a : m;
            m = b > m ? b : m;
            m = c > m ? c : m;
            m = d > m ? d : m;
            const double block = m[1] > m[0] ? m[1] : m[0];
            blockMax[k / scanBlock] = block;
            largest = block > largest ? block : largest;
        }
#endif
        for (; k < n; k += scanBlock) {
            const std::size_t end = std::min(n, k + scanBlock);
            double block = 0.0;
            for (std::size_t j = k; j < end; ++j) {
                const double v = std::fabs(x[j]);
                block = v > block ? v : block;
            }
            blockMax[k / scanBlock] = block;
            largest = block > largest ? block : largest;
        }
        return largest;
    }

    // The last k < n with |x[k]| >= bound, none if there is none; blockMax from blockMaxima.
    static std::size_t
    lastReaching(const double* x, std::size_t n, double bound, const double* blockMax)
    {
        for (std::size_t b = (n + scanBlock - 1) / scanBlock; b > 0; --b) {
            if (blockMax[b - 1] >= bound) {
                for (std::size_t k = std::min(n, b * scanBlock); k > (b - 1) * scanBlock; --k) {
                    if (std::fabs(x[k - 1]) >= bound) {
                        return k - 1;
                    }
                }
            }
        }
        return none;
    }

    // The first k < n with |x[k]| >= bound, none if there is none; blockMax from blockMaxima.
    static std::size_t
    firstReaching(const double* x, std::size_t n, double bound, const double* blockMax)
    {
        for (std::size_t b = 0; b * scanBlock < n; ++b) {
            if (blockMax[b] >= bound) {
                const std::size_t end = std::min(n, (b + 1) * scanBlock);
                for (std::size_t k = b * scanBlock; k < end; ++k) {
                    if (std::fabs(x[k]) >= bound) {
                        return k;
                    }
                }
            }
        }
        return none;
    }

    void rotate(std::size_t p, std::size_t q)
    {
        const PlaneRotation cs = annihilate(p, q);
        rescanRowsPointingAt(p, q);
        rotateRowsAndColumns(p, q, cs.c, cs.s);
        m_pending.push_back({p, q, cs.c, cs.s});
        if (m_pending.size() == pendingLimit) {
            applyPendingRotations();
        }
    }

    struct PlaneRotation
    {
        double c;
        double s;
    };

    // The rotation that zeroes a(p,q), with the new diagonal values in place.
    PlaneRotation annihilate(std::size_t p, std::size_t q)
    {
        const double app = m_a(p, p);
        const double aqq = m_a(q, q);
        const double apq = m_a(p, q);
        const double sgn = app >= aqq ? 2.0 : -2.0;
        const double diff = app - aqq;
        const double r = std::sqrt(diff * diff + 4.0 * apq * apq);
        const double t = sgn * apq / (std::fabs(diff) + r);
        double c = 1.0 / std::sqrt(1.0 + t * t);
        double s = c * t;
        const double c2 = c * c;
        double newPp = c2 * (app + t * (2.0 * apq + t * aqq));
        double newQq = c2 * (aqq - t * (2.0 * apq - t * app));
        m_a(p, q) = 0.0;

        // Keep the larger value at the lower index; the replaced (c, s) exchanges the roles of
        // columns p and q, changing the sign of one of them.
        if (newPp < newQq) {
            const double tmp = newPp;
            newPp = newQq;
            newQq = tmp;
            const double oldC = c;
            if (s >= 0.0) {
                c = std::fabs(s);
                s = -oldC;
            } else {
                c = std::fabs(s);
                s = oldC;
            }
        }
        m_a(p, p) = newPp;
        m_a(q, q) = newQq;
        return {c, s};
    }

    void rescanRowsPointingAt(std::size_t p, std::size_t q)
    {
        // Rows whose maximum sat in column p or q are rescanned before the rotation touches
        // those columns, with their recorded element hidden for the scan. Only rows above q can
        // point at p or q. They are collected first, as a rescan moves its row to another list;
        // a rescan reads and writes its own row only, so their order does not matter.
        m_rescan.clear();
        for (std::size_t col : {p, q}) {
            for (std::size_t i = m_firstPointing[col]; i != none; i = m_nextPointing[i]) {
                if (i != p) {
                    m_rescan.push_back(i);
                }
            }
        }
        for (std::size_t i : m_rescan) {
            double& recorded = m_a(i, static_cast<std::size_t>(m_rowMaxColumn[i]));
            const double remembered = recorded;
            recorded = 0.0;
            scanRow(i);
            recorded = remembered;
        }
    }

    void rotateRowsAndColumns(std::size_t p, std::size_t q, double c, double s)
    {
        // x pairs i with p, y pairs i with q; both new values come from the old x and y, and
        // x' raises its row maximum before y' (for rows above p both sit in row i). Rows p and
        // q start again from 0 and are raised only by their own elements, in increasing column
        // order: a strict raise from 0 is the first column holding the largest magnitude, so
        // they are found once the rows are rotated.
        double* const rowP = &m_a(p, 0);
        double* const rowQ = &m_a(q, 0);
        const double* const rowMax = m_rowMax.data();
        double* row = &m_a(0, 0);
        for (std::size_t i = 0; i < p; ++i, row += m_g) {
            const double x = row[p];
            const double y = row[q];
            const double xNew = c * x + s * y;
            const double yNew = c * y - s * x;
            row[p] = xNew;
            row[q] = yNew;
            if (std::fabs(xNew) > rowMax[i] || std::fabs(yNew) > rowMax[i]) {
                raise(i, p, xNew);
                raise(i, q, yNew);
            }
        }
        row = &m_a(p + 1, 0);
        for (std::size_t i = p + 1; i < q; ++i, row += m_g) {
            const double x = rowP[i];
            const double y = row[q];
            rowP[i] = c * x + s * y;
            const double yNew = c * y - s * x;
            row[q] = yNew;
            if (std::fabs(yNew) > rowMax[i]) {
                raise(i, q, yNew);
            }
        }
        rotateStrip<0>(rowP + q + 1, rowQ + q + 1, c, s, m_g - q - 1);
        const RowMax maxP = strictRowMax(rowP, p + 1);
        const RowMax maxQ = strictRowMax(rowQ, q + 1);
        setRowMax(p, maxP.value, maxP.column >= 0 ? maxP.column : m_rowMaxColumn[p]);
        setRowMax(q, maxQ.value, maxQ.column >= 0 ? maxQ.column : m_rowMaxColumn[q]);
    }

    // The eigenvectors are not read while the solver runs, so their rotations are logged and
    // applied in batches, a strip of elements at a time: each element still receives every
    // rotation in the order performed, with the same operations, while the strip stays in cache.
    void applyPendingRotations()
    {
        for (std::size_t first = 0; first < m_g; first += stripLength) {
            const std::size_t length = std::min(stripLength, m_g - first);
            if (length == stripLength) {
                for (const Rotation& r : m_pending) {
                    rotateStrip<stripLength>(
                        &m_vt(r.p, first), &m_vt(r.q, first), r.c, r.s, stripLength);
                }
            } else {
                for (const Rotation& r : m_pending) {
                    rotateStrip<0>(&m_vt(r.p, first), &m_vt(r.q, first), r.c, r.s, length);
                }
            }
        }
        m_pending.clear();
    }

    // u' = c u + s v and v' = c v - s u, element by element; fixedLength 0 = use length.
    template <std::size_t fixedLength>
    static void
    rotateStrip(double* __restrict u, double* __restrict v, double c, double s, std::size_t length)
    {
        const std::size_t n = fixedLength != 0 ? fixedLength : length;
        for (std::size_t i = 0; i < n; ++i) {
            const double ui = u[i];
            const double vi = v[i];
            u[i] = c * ui + s * vi;
            v[i] = c * vi - s * ui;
        }
    }

    // A row maximum raised only by strictly larger magnitudes; column -1 = never raised.
    struct RowMax
    {
        double value = 0.0;
        int column = -1;
    };

    // Elements first .. g-1 of `row` raising a maximum from 0 one by one, strictly.
    RowMax strictRowMax(const double* row, std::size_t first)
    {
        RowMax result;
        const std::size_t n = m_g - first;
        double* const blockMax = m_scanBlockMax.data();
        const double largest = blockMaxima(row + first, n, blockMax);
        if (largest > 0.0) {
            result.value = largest;
            result.column =
                static_cast<int>(first + firstReaching(row + first, n, largest, blockMax));
        }
        return result;
    }

    void linkPointing(std::size_t row, std::size_t col)
    {
        const std::size_t first = m_firstPointing[col];
        m_nextPointing[row] = first;
        m_previousPointing[row] = none;
        if (first != none) {
            m_previousPointing[first] = row;
        }
        m_firstPointing[col] = row;
    }

    void unlinkPointing(std::size_t row, std::size_t col)
    {
        const std::size_t next = m_nextPointing[row];
        const std::size_t previous = m_previousPointing[row];
        if (previous != none) {
            m_nextPointing[previous] = next;
        } else {
            m_firstPointing[col] = next;
        }
        if (next != none) {
            m_previousPointing[next] = previous;
        }
    }

    void raise(std::size_t row, std::size_t col, double element)
    {
        if (std::fabs(element) > m_rowMax[row]) {
            setRowMax(row, std::fabs(element), static_cast<int>(col));
        }
    }

    Matrix& m_a;
    std::size_t m_g;
    ProgressSink* m_progress;
    std::string_view m_statusLine;
    bool m_cancelled = false;
    std::vector<double> m_rowMax;
    std::vector<int> m_rowMaxColumn;
    // By column, a doubly linked list of the rows whose maximum sits there (the last row, with
    // no element right of the diagonal, is in none).
    static constexpr std::size_t none = static_cast<std::size_t>(-1);
    std::vector<std::size_t> m_firstPointing;
    std::vector<std::size_t> m_nextPointing;
    std::vector<std::size_t> m_previousPointing;
    std::vector<std::size_t> m_rescan;
    std::vector<double> m_blockMax; // by block of rows; exact unless stale
    std::vector<char> m_blockStale;
    std::vector<double> m_scanBlockMax; // by block of a row being scanned
    Matrix m_vt;                        // row k = eigenvector k, as far as the applied rotations go

    struct Rotation
    {
        std::size_t p;
        std::size_t q;
        double c;
        double s;
    };
    // 16384 logged rotations take 512 KB; a strip of 256 elements of the 500 eigenvectors of
    // the largest runs takes 1 MB. Both measured best on 500 populations.
    static constexpr std::size_t pendingLimit = 16384;
    static constexpr std::size_t stripLength = 256;
    std::vector<Rotation> m_pending;
    long m_rotations = 0;
};

} // namespace

EigenDecomposition
solveJacobi(Matrix symmetric, ProgressSink* progress, std::string_view statusLine)
{
    const std::size_t g = symmetric.rows();
    EigenDecomposition result;
    result.centredMatrix = std::move(symmetric);

    if (!allFinite(result.centredMatrix)) {
        // Nothing to iterate on: no rotation is tried, the identity stands for the eigenvectors.
        result.eigenvectors = Matrix(g, g);
        for (std::size_t k = 0; k < g; ++k) {
            result.eigenvectors(k, k) = 1.0;
        }
        result.converged = false;
    } else {
        JacobiSolver solver(result.centredMatrix, g, progress, statusLine);
        result.converged = solver.run();
        result.cancelled = solver.cancelled();
        if (result.cancelled) {
            return result;
        }
        result.eigenvectors = solver.eigenvectors();
        result.rotationCount = solver.rotationCount();
    }

    int count = 0;
    for (std::size_t k = 0; k < g; ++k) {
        if (result.centredMatrix(k, k) > nonZeroThreshold) {
            ++count;
        }
    }
    result.nonZeroCount = count;
    return result;
}

void orderByEigenvalue(EigenDecomposition& eig)
{
    assert(eig.converged);
    const std::size_t g = eig.centredMatrix.rows();
    std::vector<double> lambda(g);
    for (std::size_t k = 0; k < g; ++k) {
        lambda[k] = eig.centredMatrix(k, k);
    }
    std::vector<std::size_t> order(g);
    for (std::size_t k = 0; k < g; ++k) {
        order[k] = k;
    }
    std::stable_sort(order.begin(), order.end(), [&lambda](std::size_t a, std::size_t b) {
        return lambda[a] > lambda[b];
    });
    const Matrix vectors = eig.eigenvectors;
    for (std::size_t k = 0; k < g; ++k) {
        eig.centredMatrix(k, k) = lambda[order[k]];
        for (std::size_t i = 0; i < g; ++i) {
            eig.eigenvectors(i, k) = vectors(i, order[k]);
        }
    }
}

EigenDecomposition decompose(const Matrix& a, ProgressSink* progress, std::string_view statusLine)
{
    EigenDecomposition eig = solveJacobi(doubleCentre(a), progress, statusLine);
    if (eig.converged && !eig.cancelled) {
        orderByEigenvalue(eig);
    }
    return eig;
}

} // namespace tavrik
