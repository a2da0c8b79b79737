#include "analysis/RMatrix.h"

#include <cmath>

namespace tavrik {

// Indices are 0-based. Every sum runs over its index in ascending order, starting from 0.0,
// and every product and quotient is evaluated left to right as the formula reads: the
// printed digits depend on it.

double sqrtOrZero(double x)
{
    return x > 0.0 ? std::sqrt(x) : 0.0;
}

Relationship computeRelationship(const Matrix& popMeans,
                                 const std::vector<double>& sampleSizes,
                                 const std::vector<double>& popWeights,
                                 const Matrix& inverse,
                                 bool biasCorrection)
{
    const std::size_t g = popMeans.rows();
    const std::size_t t = popMeans.cols();
    const auto td = static_cast<double>(t);
    Relationship rel;

    // Deviations from the weighted centroid.
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

    // T(k,i) = sum over l of Ginv(k,l) d(i,l)
    Matrix tm(t, g);
    for (std::size_t k = 0; k < t; ++k) {
        for (std::size_t i = 0; i < g; ++i) {
            double sum = 0.0;
            for (std::size_t l = 0; l < t; ++l) {
                sum += inverse(k, l) * d(i, l);
            }
            tm(k, i) = sum;
        }
    }

    // Q(i,j) = sum over l of d(i,l) T(l,j); both triangles computed, not mirrored.
    Matrix q(g, g);
    for (std::size_t i = 0; i < g; ++i) {
        for (std::size_t j = 0; j < g; ++j) {
            double sum = 0.0;
            for (std::size_t l = 0; l < t; ++l) {
                sum += d(i, l) * tm(l, j);
            }
            q(i, j) = sum;
        }
    }

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

    rel.biasTerm.assign(g, 0.0);
    if (biasCorrection) {
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
    } else {
        rel.fstUnbiased = rel.fst;
    }

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

} // namespace tavrik
