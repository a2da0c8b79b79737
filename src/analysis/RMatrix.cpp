#include "analysis/RMatrix.h"

#include "analysis/FiniteValues.h"
#include "analysis/Inversion.h"
#include "io/TextEncoding.h"

#include <cmath>
#include <utility>

namespace tavrik {

// Indices are 0-based. Every sum runs over its index in ascending order, starting from 0.0,
// and every product and quotient is evaluated left to right as the formula reads: the
// printed digits depend on it.

double sqrtOrZero(double x)
{
    return x > 0.0 ? std::sqrt(x) : 0.0;
}

namespace {

// Deviations of the population means from their weighted centroid.
Matrix centroidDeviations(const Matrix& popMeans, const std::vector<double>& popWeights)
{
    const std::size_t g = popMeans.rows();
    const std::size_t t = popMeans.cols();
    Matrix d(g, t);
    for (std::size_t k = 0; k < t; ++k) {
        double c = 0.0;
        for (std::size_t i = 0; i < g; ++i) {
            c += popWeights[i] * popMeans(i, k);
        }
        for (std::size_t i = 0; i < g; ++i) {
            d(i, k) = popMeans(i, k) - c;
        }
    }
    return d;
}

Matrix transposed(const Matrix& m)
{
    Matrix out(m.cols(), m.rows());
    for (std::size_t i = 0; i < m.rows(); ++i) {
        for (std::size_t j = 0; j < m.cols(); ++j) {
            out(j, i) = m(i, j);
        }
    }
    return out;
}

// (a b)(i,j) = sum over l of a(i,l) b(l,j); every element computed, none mirrored.
Matrix product(const Matrix& a, const Matrix& b)
{
    Matrix out(a.rows(), b.cols());
    for (std::size_t i = 0; i < a.rows(); ++i) {
        for (std::size_t j = 0; j < b.cols(); ++j) {
            double sum = 0.0;
            for (std::size_t l = 0; l < a.cols(); ++l) {
                sum += a(i, l) * b(l, j);
            }
            out(i, j) = sum;
        }
    }
    return out;
}

// Fst without correction, and the matrix whose diagonal its correction changes.
void fstAndR(Relationship& rel, const Matrix& q, const std::vector<double>& popWeights, double td)
{
    const std::size_t g = q.rows();
    double s = 0.0;
    for (std::size_t i = 0; i < g; ++i) {
        s += popWeights[i] * q(i, i);
    }
    rel.fst = s / (s + 2.0 * td);
    const double oneMinusFst = 1.0 - rel.fst;

    rel.r = Matrix(g, g);
    for (std::size_t i = 0; i < g; ++i) {
        for (std::size_t j = 0; j < g; ++j) {
            rel.r(i, j) = q(i, j) * oneMinusFst / (2.0 * td);
        }
    }
    rel.uncorrectedDiagonal.resize(g);
    for (std::size_t i = 0; i < g; ++i) {
        rel.uncorrectedDiagonal[i] = rel.r(i, i);
    }
}

void unbiasedFst(Relationship& rel,
                 const std::vector<double>& sampleSizes,
                 const std::vector<double>& popWeights,
                 bool biasCorrection)
{
    const std::size_t g = rel.r.rows();
    rel.biasTerm.assign(g, 0.0);
    if (!biasCorrection) {
        rel.fstUnbiased = rel.fst;
        return;
    }
    double fu = 0.0;
    for (std::size_t i = 0; i < g; ++i) {
        rel.biasTerm[i] = 1.0 / (2.0 * sampleSizes[i]);
        double u = rel.r(i, i) - rel.biasTerm[i];
        if (u < 0.0) {
            u = 0.0;
        }
        fu += popWeights[i] * u;
    }
    rel.fstUnbiased = fu;
}

void diagonalAndFstErrors(Relationship& rel,
                          const std::vector<double>& sampleSizes,
                          const std::vector<double>& popWeights,
                          double td)
{
    const std::size_t g = rel.r.rows();
    const double oneMinusFst = 1.0 - rel.fst;
    rel.seDiagonal.resize(g);
    double sum = 0.0;
    for (std::size_t i = 0; i < g; ++i) {
        const double rii = rel.r(i, i);
        const double n = sampleSizes[i];
        rel.seDiagonal[i] = sqrtOrZero(2.0 * rii * oneMinusFst / (td * n));
        sum += 2.0 * (popWeights[i] * popWeights[i]) * rii / (td * n);
    }
    // The cube as two products, left to right.
    rel.fstSe = sqrtOrZero(oneMinusFst * oneMinusFst * oneMinusFst * sum);
}

// First population i whose row of m holds a value that is not finite.
std::string populationWithNonFinite(const Matrix& m, const std::vector<std::string>& names)
{
    for (std::size_t i = 0; i < m.rows(); ++i) {
        for (std::size_t j = 0; j < m.cols(); ++j) {
            if (!std::isfinite(m(i, j))) {
                return names[i];
            }
        }
    }
    return {};
}

Status checkRelationship(const Relationship& rel, const std::vector<std::string>& names)
{
    if (!std::isfinite(rel.fst) || !std::isfinite(rel.fstUnbiased) || !std::isfinite(rel.fstSe)) {
        return notFinite("Fst", "Fst");
    }
    for (const Matrix* m : {&rel.r, &rel.dSquare, &rel.seR, &rel.seDSquare}) {
        if (!allFinite(*m)) {
            const std::string name = populationWithNonFinite(*m, names);
            return notFinite("the R matrix of population " + quoteFound(name),
                             "population " + name);
        }
    }
    if (!allFinite(rel.seDiagonal)) {
        return notFinite("the standard errors of the R matrix", "R matrix");
    }
    return Done{};
}

} // namespace

Relationship computeRelationship(const Matrix& popMeans,
                                 const std::vector<double>& sampleSizes,
                                 const std::vector<double>& popWeights,
                                 const Matrix& inverse,
                                 bool biasCorrection)
{
    const auto td = static_cast<double>(popMeans.cols());
    const Matrix d = centroidDeviations(popMeans, popWeights);
    // T(k,i) = sum over l of Ginv(k,l) d(i,l); Q(i,j) = sum over l of d(i,l) T(l,j)
    const Matrix q = product(d, product(inverse, transposed(d)));
    Relationship rel;
    fstAndR(rel, q, popWeights, td);
    unbiasedFst(rel, sampleSizes, popWeights, biasCorrection);
    diagonalAndFstErrors(rel, sampleSizes, popWeights, td);
    return rel;
}

void completeRelationship(Relationship& rel,
                          const std::vector<double>& sampleSizes,
                          std::size_t t,
                          bool biasCorrection)
{
    const std::size_t g = rel.r.rows();
    const auto td = static_cast<double>(t);
    const double oneMinusFst = 1.0 - rel.fst;
    Matrix& r = rel.r;

    // Standard errors come from the uncorrected diagonal: they are computed before the
    // correction below changes it.
    rel.seR = Matrix(g, g);
    rel.seDSquare = Matrix(g, g);
    for (std::size_t i = 0; i + 1 < g; ++i) {
        for (std::size_t j = i + 1; j < g; ++j) {
            rel.seR(i, j) = sqrtOrZero(oneMinusFst / (2.0 * td) *
                                       (r(i, i) / sampleSizes[j] + r(j, j) / sampleSizes[i]));
        }
    }
    for (std::size_t i = 0; i + 1 < g; ++i) {
        for (std::size_t j = i; j < g; ++j) {
            const double e = r(i, i) + r(j, j) - 2.0 * r(i, j);
            rel.seDSquare(i, j) = sqrtOrZero(2.0 * oneMinusFst / td * e *
                                             (1.0 / sampleSizes[i] + 1.0 / sampleSizes[j]));
        }
    }

    if (biasCorrection) {
        for (std::size_t i = 0; i < g; ++i) {
            const double u = r(i, i) - 1.0 / (2.0 * sampleSizes[i]);
            r(i, i) = u < 0.0 ? 0.0 : u;
        }
    }

    rel.dSquare = Matrix(g, g);
    for (std::size_t i = 0; i + 1 < g; ++i) {
        for (std::size_t j = i; j < g; ++j) {
            double dij = r(i, i) + r(j, j) - 2.0 * r(i, j);
            if (dij < 0.0 && biasCorrection) {
                dij = 0.0;
            }
            rel.dSquare(i, j) = dij;
            rel.dSquare(j, i) = dij;
        }
    }
}

Result<Relationship> relationshipAt(const PassResults& passes,
                                    const PassSetup& setup,
                                    float heritability,
                                    bool biasCorrection,
                                    ProgressSink& progress)
{
    // geneticCov = heritability x pooled covariance, the 32-bit heritability widened to double.
    const std::size_t t = passes.pooledCov.rows();
    const auto h2 = static_cast<double>(heritability);
    Matrix geneticCov(t, t);
    for (std::size_t k = 0; k < t; ++k) {
        for (std::size_t l = 0; l < t; ++l) {
            geneticCov(k, l) = h2 * passes.pooledCov(k, l);
        }
    }

    if (progress.cancelled()) {
        return cancelledRun();
    }
    progress.status("...inverting matrix...");
    auto inverse = invertMatrix(std::move(geneticCov));
    if (!inverse) {
        return inverse.error();
    }
    if (!allFinite(*inverse)) {
        return notFinite("the inverse of the pooled covariance matrix", "inverse");
    }

    progress.status("...computing matrices...");
    Relationship rel = computeRelationship(
        passes.popMeans, passes.sampleSizes, setup.popWeights, *inverse, biasCorrection);
    completeRelationship(rel, passes.sampleSizes, t, biasCorrection);
    if (auto st = checkRelationship(rel, setup.popNames); !st) {
        return st.error();
    }
    return rel;
}

} // namespace tavrik
