// The R matrix of genetic relationship between the chosen populations, Fst with its standard
// error, the standard errors of every element, the sampling-bias correction of the diagonal
// and the D-square distances.
#pragma once

#include "analysis/DataPasses.h"
#include "analysis/ProgressSink.h"
#include "state/Matrix.h"
#include "state/Result.h"

#include <vector>

namespace tavrik {

struct Relationship
{
    Matrix r; // g x g; the diagonal is corrected by completeRelationship when bias is on
    std::vector<double> uncorrectedDiagonal;
    double fst = 0.0;         // from the uncorrected diagonal
    double fstUnbiased = 0.0; // from the corrected diagonal; equals fst without correction
    double fstSe = 0.0;
    std::vector<double> seDiagonal;
    std::vector<double> biasTerm; // 1 / (2 n(i)); zeros without correction
    Matrix seR;                   // filled for i < j only
    Matrix seDSquare;             // filled for i <= j only (zero on the diagonal)
    Matrix dSquare;               // g x g, symmetric, zero diagonal
};

// Centroid, R matrix, Fst, the bias terms, and the standard errors of r(ii) and of Fst.
// popMeans: g x t standardized means; inverse: t x t inverse of h2 times the pooled matrix.
Relationship computeRelationship(const Matrix& popMeans,
                                 const std::vector<double>& sampleSizes,
                                 const std::vector<double>& popWeights,
                                 const Matrix& inverse,
                                 bool biasCorrection);

// Standard errors of r(ij) and of the distances, the correction of the diagonal, and the
// D-square matrix.
void completeRelationship(Relationship& rel,
                          const std::vector<double>& sampleSizes,
                          std::size_t t,
                          bool biasCorrection);

// From the pass statistics on: heritability x pooled covariance (the 32-bit heritability
// widened to double), its inverse, R, Fst, the standard errors, the correction of the diagonal
// and the distances. A run, a heritability sweep and a bootstrap replicate all come through
// here, so a sweep's row agrees with a run at that heritability to the last bit. Fails when the
// matrix cannot be inverted, a value is not finite (naming the population), or the sink says
// cancel before the inversion; the sink hears the run's status lines.
[[nodiscard]] Result<Relationship> relationshipAt(const PassResults& passes,
                                                  const PassSetup& setup,
                                                  float heritability,
                                                  bool biasCorrection,
                                                  ProgressSink& progress);

// Square root that takes 0 for a value rounding has pushed slightly below zero.
double sqrtOrZero(double x);

} // namespace tavrik
