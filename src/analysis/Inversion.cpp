#include "analysis/Inversion.h"

#include <cmath>
#include <utility>

namespace tavrik {

// Indices are 0-based here; the elimination order is that of the textbook scheme, step by
// step, so that results agree to the last bit with any faithful implementation of it.
Result<Matrix> invertMatrix(Matrix a)
{
    const std::size_t t = a.rows();
    assert(a.cols() == t);
    Matrix b(t, t);
    for (std::size_t i = 0; i < t; ++i) {
        b(i, i) = 1.0;
    }

    for (std::size_t j = 0; j < t; ++j) {
        // The first row at or below j that reaches the tolerance, not the largest entry.
        std::size_t r = j;
        while (!(std::fabs(a(r, j)) >= pivotTolerance)) {
            if (r + 1 == t) {
                return Error::analysis("Matrix could not be inverted");
            }
            ++r;
        }
        for (std::size_t k = 0; k < t; ++k) {
            std::swap(a(r, k), a(j, k));
            std::swap(b(r, k), b(j, k));
        }
        const double d = 1.0 / a(j, j);
        for (std::size_t k = 0; k < t; ++k) {
            a(j, k) = d * a(j, k);
            b(j, k) = d * b(j, k);
        }
        for (std::size_t q = 0; q < t; ++q) {
            if (q == j) {
                continue;
            }
            const double f = -a(q, j); // taken once: a(q, j) itself changes in the loop
            for (std::size_t k = 0; k < t; ++k) {
                a(q, k) = f * a(j, k) + a(q, k);
                b(q, k) = f * b(j, k) + b(q, k);
            }
        }
    }
    return b;
}

} // namespace tavrik
