#include "analysis/Eigen.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
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
// it is found), and the number of rows whose maximum sits in each column (so the search for rows
// to rescan stops once it has found them all).
class JacobiSolver
{
public:
    JacobiSolver(Matrix& m, std::size_t g)
        : m_a(m)
        , m_g(g)
        , m_rowMax(g, 0.0)
        , m_rowMaxColumn(g, -1)
        , m_pointingRows(g, 0)
        , m_blockMax((g + blockRows - 1) / blockRows, 0.0)
        , m_blockStale(m_blockMax.size(), 0)
        , m_vt(g, g)
    {
        for (std::size_t k = 0; k < g; ++k) {
            m_vt(k, k) = 1.0;
        }
    }

    long rotationCount() const { return m_rotations; }

    // Returns false only when the rotation cap stopped the solver.
    bool run()
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
        }
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
                double m = 0.0;
                for (std::size_t i = b * blockRows; i < end; ++i) {
                    m = m_rowMax[i] > m ? m_rowMax[i] : m;
                }
                m_blockMax[b] = m;
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
                    --m_pointingRows[static_cast<std::size_t>(old)];
                }
                ++m_pointingRows[static_cast<std::size_t>(column)];
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
    // and a row of zeros records its last column.
    void scanRow(std::size_t i)
    {
        const double* row = &m_a(i, 0);
        double best = 0.0;
        int bestColumn = m_rowMaxColumn[i];
        for (std::size_t j = i + 1; j < m_g; ++j) {
            const double v = std::fabs(row[j]);
            if (v >= best) {
                best = v;
                bestColumn = static_cast<int>(j);
            }
        }
        setRowMax(i, best, bestColumn);
    }

    void rotate(std::size_t p, std::size_t q)
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

        // Rows whose maximum sat in column p or q are rescanned before the rotation touches
        // those columns, with their recorded element hidden for the scan. Only rows above q can
        // point at p or q.
        const int pc = static_cast<int>(p);
        const int qc = static_cast<int>(q);
        std::size_t toRescan =
            m_pointingRows[p] + m_pointingRows[q] - (m_rowMaxColumn[p] == qc ? 1 : 0);
        for (std::size_t i = 0; toRescan > 0 && i < q; ++i) {
            const int col = m_rowMaxColumn[i];
            if ((col != pc && col != qc) || i == p) {
                continue;
            }
            --toRescan;
            double& recorded = m_a(i, static_cast<std::size_t>(col));
            const double remembered = recorded;
            recorded = 0.0;
            scanRow(i);
            recorded = remembered;
        }

        // x pairs i with p, y pairs i with q; both new values come from the old x and y, and
        // x' is stored (and raises its row maximum) before y'. Rows p and q start again from
        // 0 and are raised only by their own elements, in increasing column order.
        double* rowP = &m_a(p, 0);
        double* rowQ = &m_a(q, 0);
        for (std::size_t i = 0; i < p; ++i) {
            double* row = &m_a(i, 0);
            const double x = row[p];
            const double y = row[q];
            row[p] = c * x + s * y;
            raise(i, p, row[p]);
            row[q] = c * y - s * x;
            raise(i, q, row[q]);
        }
        RowMax maxP;
        for (std::size_t i = p + 1; i < q; ++i) {
            double* row = &m_a(i, 0);
            const double x = rowP[i];
            const double y = row[q];
            rowP[i] = c * x + s * y;
            maxP.raise(i, rowP[i]);
            row[q] = c * y - s * x;
            raise(i, q, row[q]);
        }
        RowMax maxQ;
        for (std::size_t i = q + 1; i < m_g; ++i) {
            const double x = rowP[i];
            const double y = rowQ[i];
            rowP[i] = c * x + s * y;
            maxP.raise(i, rowP[i]);
            rowQ[i] = c * y - s * x;
            maxQ.raise(i, rowQ[i]);
        }
        setRowMax(p, maxP.value, maxP.column >= 0 ? maxP.column : m_rowMaxColumn[p]);
        setRowMax(q, maxQ.value, maxQ.column >= 0 ? maxQ.column : m_rowMaxColumn[q]);

        // Two elements per step, written so that the compiler may pair them in vector
        // registers; each element gets exactly the scalar operations.
        double* __restrict vp = &m_vt(p, 0);
        double* __restrict vq = &m_vt(q, 0);
        std::size_t i = 0;
        for (; i + 1 < m_g; i += 2) {
            const double u0 = vp[i];
            const double u1 = vp[i + 1];
            const double v0 = vq[i];
            const double v1 = vq[i + 1];
            vp[i] = c * u0 + s * v0;
            vp[i + 1] = c * u1 + s * v1;
            vq[i] = c * v0 - s * u0;
            vq[i + 1] = c * v1 - s * u1;
        }
        if (i < m_g) {
            const double u = vp[i];
            const double v = vq[i];
            vp[i] = c * u + s * v;
            vq[i] = c * v - s * u;
        }
    }

    // A row maximum raised only by strictly larger magnitudes; column -1 = never raised.
    struct RowMax
    {
        double value = 0.0;
        int column = -1;
        void raise(std::size_t col, double element)
        {
            if (std::fabs(element) > value) {
                value = std::fabs(element);
                column = static_cast<int>(col);
            }
        }
    };

    void raise(std::size_t row, std::size_t col, double element)
    {
        if (std::fabs(element) > m_rowMax[row]) {
            setRowMax(row, std::fabs(element), static_cast<int>(col));
        }
    }

    Matrix& m_a;
    std::size_t m_g;
    std::vector<double> m_rowMax;
    std::vector<int> m_rowMaxColumn;
    std::vector<std::size_t> m_pointingRows; // by column: rows whose maximum sits there
    std::vector<double> m_blockMax;          // by block of rows; exact unless stale
    std::vector<char> m_blockStale;
    Matrix m_vt;
    long m_rotations = 0;
};

} // namespace

EigenDecomposition solveJacobi(Matrix symmetric)
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
        JacobiSolver solver(result.centredMatrix, g);
        result.converged = solver.run();
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

EigenDecomposition decompose(const Matrix& a)
{
    return solveJacobi(doubleCentre(a));
}

} // namespace tavrik
